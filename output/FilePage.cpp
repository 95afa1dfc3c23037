#include "output/FilePage.h"

#include "output/FileNaming.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

// Long enough for the longest path the system accepts.
const size_t kPathBuffer = 32768;

std::string CurrentFolder() {
    std::vector<char> folder(kPathBuffer, '\0');
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data());
    return length && length < folder.size() ? std::string(folder.data(), length) : std::string();
}

// Taken before anything can change the current folder.
const std::string startFolder = CurrentFolder();

bool IsLeadByte(unsigned char c) {
    return IsDBCSLeadByte(c) != FALSE;
}

// Windows takes COM¹ to COM³ and LPT¹ to LPT³ for devices too.
bool IsSuperscriptDigit(unsigned char c) {
    const char narrow = static_cast<char>(c);
    wchar_t wide = 0;
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &narrow, 1, &wide, 1) == 1 &&
           (wide == 0x00B9 || wide == 0x00B2 || wide == 0x00B3);
}

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
    // Refused before a session starts rather than losing its captures.
    if (exchange.saving() && !exchange.failed() && !fileName.empty()) {
        const std::string problem = FileNameProblem(fileName, IsLeadByte, IsSuperscriptDigit);
        if (!problem.empty())
            exchange.Refuse(IDC_FILE_NAME, problem);
    }
}

std::string CFileSelectDlg::TargetName() const {
    const bool absolute = !fileName.empty() && (fileName[0] == '\\' || fileName[0] == '/' ||
                                                (fileName.size() > 1 && fileName[1] == ':'));
    if (absolute || startFolder.empty())
        return fileName;
    const char last = startFolder.back();
    return startFolder + (last == '\\' || last == '/' ? "" : "\\") + fileName;
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
    // The working folder stays where the program started: relative names
    // keep meaning what they meant.
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&dialog))
        return;
    fileName = path.data();
    UpdateData(false);
}
