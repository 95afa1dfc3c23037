#include "output/ClipboardOutput.h"

#include "output/FileExecute.h"
#include "resources/resource.h"

CClipboardDlg::CClipboardDlg(SettingsStore& settings)
    : CToSelectDlg(IDD_CLIPBOARD, IDS_SAVE_TO_CLIPBOARD, settings) {}

std::unique_ptr<CToExecute> CClipboardDlg::CreateExecute() {
    WriteLastSelection();
    return std::make_unique<CClipboardExecute>(settings, hwnd());
}
