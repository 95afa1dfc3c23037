#include "capture/AreaSource.h"

#include "capture/ScreenLayout.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"

CAreaDlg::CAreaDlg(SettingsStore& settings) : CWhatSelectDlg(IDD_AREA, IDS_CAPTURE_SELECTED_AREA, settings) {
    if (!wasLastSelection())
        return;
    area.fixedDimensions = settings.ReadNumber(IDS_FIXED_DIMENSIONS);
    area.fixedPosition = settings.ReadNumber(IDS_FIXED_POSITION);
    area.height = settings.ReadNumber(IDS_HEIGHT);
    area.width = settings.ReadNumber(IDS_WIDTH);
    area.xPosition = settings.ReadNumber(IDS_X_POSITION);
    area.yPosition = settings.ReadNumber(IDS_Y_POSITION);
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
    EnableWindow(Item(IDC_X_POSITION), area.fixedPosition != 0);
    EnableWindow(Item(IDC_Y_POSITION), area.fixedPosition != 0);
    EnableWindow(Item(IDC_WIDTH), area.fixedDimensions != 0);
    EnableWindow(Item(IDC_HEIGHT), area.fixedDimensions != 0);
}

void CAreaDlg::Exchange(win::DataExchange& exchange) {
    // Any monitor: positions left of or above the primary one are negative.
    const AreaLimits limits = AreaLimitsOn(VirtualScreen());
    exchange.Check(IDC_FIXED_POSITION, area.fixedPosition);
    exchange.Check(IDC_FIXED_DIMENSIONS, area.fixedDimensions);
    // Every field is checked, enabled or not: the frame opens at these values either way.
    exchange.SignedInt(IDC_WIDTH, area.width, 1, limits.maxWidth);
    exchange.SignedInt(IDC_X_POSITION, area.xPosition, limits.minX, limits.maxX);
    exchange.SignedInt(IDC_Y_POSITION, area.yPosition, limits.minY, limits.maxY);
    exchange.SignedInt(IDC_HEIGHT, area.height, 1, limits.maxHeight);
}

std::unique_ptr<CWhatExecute> CAreaDlg::CreateExecute(int captureMouse) {
    settings.WriteNumber(IDS_FIXED_DIMENSIONS, area.fixedDimensions);
    settings.WriteNumber(IDS_FIXED_POSITION, area.fixedPosition);
    settings.WriteNumber(IDS_HEIGHT, area.height);
    settings.WriteNumber(IDS_WIDTH, area.width);
    settings.WriteNumber(IDS_X_POSITION, area.xPosition);
    settings.WriteNumber(IDS_Y_POSITION, area.yPosition);
    WriteLastSelection();
    return std::make_unique<CAreaExecute>(settings, captureMouse, *this, area);
}

void CAreaDlg::ShowArea(int x, int y, int areaWidth, int areaHeight) {
    area.xPosition = x;
    area.yPosition = y;
    area.height = areaHeight;
    area.width = areaWidth;
    UpdateData(false);
}
