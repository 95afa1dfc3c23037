#include "capture/AreaSource.h"

#include "resources/resource.h"
#include "settings/SettingsStore.h"

CAreaDlg::CAreaDlg(SettingsStore& settings) : CWhatSelectDlg(IDD_AREA, IDS_CAPTURE_SELECTED_AREA, settings) {
    if (!wasLastSelection())
        return;
    fixedDimensions = settings.ReadNumber(IDS_FIXED_DIMENSIONS);
    fixedPosition = settings.ReadNumber(IDS_FIXED_POSITION);
    height = settings.ReadNumber(IDS_HEIGHT);
    width = settings.ReadNumber(IDS_WIDTH);
    xPosition = settings.ReadNumber(IDS_X_POSITION);
    yPosition = settings.ReadNumber(IDS_Y_POSITION);
}

BOOL CAreaDlg::OnInitDialog() {
    UpdateData(false);
    UpdateEnabling();
    return TRUE;
}

bool CAreaDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (code == BN_CLICKED && (id == IDC_FIXED_POSITION || id == IDC_FIXED_DIMENSIONS)) {
        UpdateData(true);
        UpdateEnabling();
        return true;
    }
    return CWhatSelectDlg::OnCommand(id, code, control);
}

void CAreaDlg::UpdateEnabling() {
    EnableWindow(Item(IDC_X_POSITION), fixedPosition != 0);
    EnableWindow(Item(IDC_Y_POSITION), fixedPosition != 0);
    EnableWindow(Item(IDC_WIDTH), fixedDimensions != 0);
    EnableWindow(Item(IDC_HEIGHT), fixedDimensions != 0);
}

void CAreaDlg::Exchange(win::DataExchange& exchange) {
    unsigned screenWidth = static_cast<unsigned>(GetSystemMetrics(SM_CXSCREEN));
    unsigned screenHeight = static_cast<unsigned>(GetSystemMetrics(SM_CYSCREEN));
    exchange.Check(IDC_FIXED_POSITION, fixedPosition);
    exchange.Check(IDC_FIXED_DIMENSIONS, fixedDimensions);
    // Every field is checked, enabled or not: the frame opens at these values either way.
    exchange.Int(IDC_WIDTH, width, 1, screenWidth);
    exchange.Int(IDC_X_POSITION, xPosition, 0, screenWidth - 1);
    exchange.Int(IDC_Y_POSITION, yPosition, 0, screenHeight - 1);
    exchange.Int(IDC_HEIGHT, height, 1, screenHeight);
}

std::unique_ptr<CWhatExecute> CAreaDlg::CreateExecute(int) {
    settings.WriteNumber(IDS_FIXED_DIMENSIONS, fixedDimensions);
    settings.WriteNumber(IDS_FIXED_POSITION, fixedPosition);
    settings.WriteNumber(IDS_HEIGHT, height);
    settings.WriteNumber(IDS_WIDTH, width);
    settings.WriteNumber(IDS_X_POSITION, xPosition);
    settings.WriteNumber(IDS_Y_POSITION, yPosition);
    WriteLastSelection();
    return nullptr;
}
