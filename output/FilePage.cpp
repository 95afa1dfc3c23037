#include "output/FilePage.h"

#include "resources/resource.h"
#include "settings/SettingsStore.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

// Long enough for the longest path the system accepts.
const size_t kPathBuffer = 32768;

} // namespace

CFileSelectDlg::CFileSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings,
                               const char* filter, const char* extension)
    : CToSelectDlg(templateId, displayNameId, settings), filter_(filter), extension_(extension) {
    if (wasLastSelection())
        fileName = settings.ReadText(IDS_FILE_NAME);
}

bool CFileSelectDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_BROWSE && code == BN_CLICKED) {
        Browse();
        return true;
    }
    return CToSelectDlg::OnCommand(id, code, control);
}

void CFileSelectDlg::Exchange(win::DataExchange& exchange) {
    exchange.Text(IDC_FILE_NAME, fileName);
}

bool CFileSelectDlg::WriteFileValues() {
    if (fileName.empty())
        return false;
    settings.WriteText(IDS_FILE_NAME, fileName);
    return true;
}

void CFileSelectDlg::Browse() {
    // The filter wants its parts separated by zeros and a second zero at the end.
    std::string filter = std::string(filter_) + '|';
    std::replace(filter.begin(), filter.end(), '|', '\0');
    filter += '\0';
    std::vector<char> path(std::max(kPathBuffer, fileName.size() + 1), '\0');
    std::copy(fileName.begin(), fileName.end(), path.begin());

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrDefExt = extension_;
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&dialog))
        return;
    fileName = path.data();
    UpdateData(false);
}
