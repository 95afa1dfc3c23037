#include "capture/AreaSource.h"

#include "resources/resource.h"

CAreaDlg::CAreaDlg(SettingsStore& settings) : CWhatSelectDlg(IDD_AREA, IDS_CAPTURE_SELECTED_AREA, settings) {}

std::unique_ptr<CWhatExecute> CAreaDlg::CreateExecute(int) {
    WriteLastSelection();
    return nullptr;
}
