#include "tests/e2e/VsrDriver.h"

#include <algorithm>
#include <cstdio>

namespace e2e {

namespace {

const char kKeyPath[] = "Software\\Quorvane\\Vistrel";

// Removes a folder and everything below it.
void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

bool IsMessageBoxClass(HWND window) {
    return ClassName(window) == "#32770";
}

} // namespace

std::string BinDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = path;
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

TempFolder::TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    static int counter = 0;
    char name[64];
    std::snprintf(name, sizeof name, "vsr-e2e-%lu-%d", GetCurrentProcessId(), ++counter);
    path_ = std::string(base) + name;
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    RemoveTree(path_);
}

VsrProcess::~VsrProcess() {
    if (process_) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
}

bool VsrProcess::Start(const std::string& workDir, const std::string& exe) {
    std::string program = exe.empty() ? BinDir() + "\\vsr.exe" : exe;
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    for (int attempt = 0;; ++attempt) {
        if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           workDir.c_str(), &startup, &info))
            break;
        startError_ = GetLastError();
        std::fprintf(stderr, "CreateProcess(%s) failed with error %lu\n", program.c_str(), startError_);
        if (attempt == 2)
            return false;
        Sleep(1000);
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

HWND VsrProcess::WaitMainWindow(DWORD timeoutMs) {
    WaitFor(
        [&] {
            for (HWND window : TopLevelWindows(pid_)) {
                // The main window is the dialog that holds the What list.
                if (IsMessageBoxClass(window) && GetDlgItem(window, 1001)) {
                    main_ = window;
                    return true;
                }
            }
            return WaitForSingleObject(process_, 0) != WAIT_TIMEOUT;
        },
        timeoutMs);
    return main_;
}

bool VsrProcess::Close(DWORD timeoutMs) {
    if (!main_)
        WaitMainWindow(timeoutMs);
    if (main_)
        PostMessageA(main_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return WaitExit(timeoutMs);
}

bool VsrProcess::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(process_, exitCode);
    return true;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// WM_GETTEXT rather than GetWindowText, which does not ask the control of
// another process for its text.
std::string WindowText(HWND window) {
    char text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                        &copied);
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::optional<MessageBoxSeen> WaitMessageBox(DWORD pid, const std::string& captionPrefix, DWORD timeoutMs) {
    MessageBoxSeen seen;
    bool found = WaitFor(
        [&] {
            for (HWND window : TopLevelWindows(pid)) {
                std::string caption = WindowText(window);
                // The main window and the waiting window are dialogs too, but
                // they hold pages; a message box holds none.
                if (IsMessageBoxClass(window) &&
                    caption.compare(0, captionPrefix.size(), captionPrefix) == 0 &&
                    !GetDlgItem(window, 1001) && !FindWindowExA(window, nullptr, "#32770", nullptr)) {
                    seen.window = window;
                    seen.caption = caption;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    if (!found)
        return std::nullopt;
    std::vector<HWND> children;
    EnumChildWindows(seen.window, CollectChildren, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        std::string text = WindowText(child);
        if (ClassName(child) == "Static" && !text.empty())
            seen.text = text;
    }
    return seen;
}

void CloseMessageBox(HWND box) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// Wide messages: Wine copies the text buffer across processes only for the
// wide form of CB_GETLBTEXT; the ANSI form hands over a bare pointer.
std::vector<std::string> ComboTexts(HWND combo) {
    std::vector<std::string> texts;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0)
            length = 0;
        std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
        wide.resize(wcsnlen(wide.c_str(), wide.size()));
        int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], bytes, nullptr, nullptr);
        text.resize(strnlen(text.c_str(), text.size()));
        texts.push_back(text);
    }
    return texts;
}

int ComboSelection(HWND combo) {
    return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

bool SelectComboEntry(HWND dialog, int comboId, int index) {
    HWND combo = GetDlgItem(dialog, comboId);
    if (SendMessageA(combo, CB_SETCURSEL, index, 0) != index)
        return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(combo), SMTO_NORMAL, 5000, &ignored) != 0;
}

bool IsChecked(HWND dialog, int id) {
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool PressButton(HWND dialog, int id, DWORD timeoutMs) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), SMTO_NORMAL, timeoutMs,
                               &ignored) != 0;
}

bool TypeKey(HWND window, WORD virtualKey) {
    SetForegroundWindow(window);
    if (!WaitFor([&] { return GetForegroundWindow() == window; }, 3000))
        return false;
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, keys, sizeof(INPUT)) == 2;
}

RECT RectInParent(HWND window, HWND parent) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<ChildPage> VisibleChildDialogs(HWND dialog) {
    std::vector<ChildPage> pages;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassName(child) == "#32770" && IsWindowVisible(child))
            pages.push_back({child, RectInParent(child, dialog)});
    return pages;
}

namespace settings {

bool DeleteKey() {
    LONG status = RegDeleteKeyA(HKEY_CURRENT_USER, kKeyPath);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<DWORD> ReadNumber(const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

std::optional<std::string> ReadText(const char* name) {
    DWORD size = 0, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::string text(size, '\0');
    if (RegGetValueA(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &type, &text[0], &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(strnlen(text.c_str(), text.size()));
    return text;
}

bool WriteNumber(const char* name, DWORD value) {
    return RegSetKeyValueA(HKEY_CURRENT_USER, kKeyPath, name, REG_DWORD, &value, sizeof value) ==
           ERROR_SUCCESS;
}

bool WriteText(const char* name, const std::string& text) {
    return RegSetKeyValueA(HKEY_CURRENT_USER, kKeyPath, name, REG_SZ, text.c_str(),
                           static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

} // namespace settings

int Screenshot::CountDifferent(const RECT& rect, uint32_t colour) const {
    int count = 0;
    for (int y = rect.top < 0 ? 0 : rect.top; y < rect.bottom && y < height; ++y)
        for (int x = rect.left < 0 ? 0 : rect.left; x < rect.right && x < width; ++x)
            if (at(x, y) != colour)
                ++count;
    return count;
}

// Drawing goes into a bitmap of the screen's own format and is read back as
// 32 bits, so colours come out exactly as the screen at its depth shows them.
std::vector<uint32_t> DrawToPixels(int width, int height, uint32_t background,
                                   const std::function<void(HDC)>& paint) {
    std::vector<uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC memory = CreateCompatibleDC(screen);
    if (bitmap && memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(RGB(background >> 16, (background >> 8) & 0xFF, background & 0xFF));
        FillRect(memory, &all, brush);
        DeleteObject(brush);
        paint(memory);
        SelectObject(memory, old);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        pixels.resize(static_cast<size_t>(width) * height);
        if (!GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS))
            pixels.clear();
        for (uint32_t& pixel : pixels)
            pixel &= 0x00FFFFFF;
    }
    if (memory)
        DeleteDC(memory);
    if (bitmap)
        DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
    return pixels;
}

Screenshot TakeScreenshot() {
    Screenshot shot;
    HDC screen = GetDC(nullptr);
    shot.width = GetDeviceCaps(screen, HORZRES);
    shot.height = GetDeviceCaps(screen, VERTRES);
    shot.pixels = DrawToPixels(shot.width, shot.height, 0, [&](HDC memory) {
        BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
    });
    ReleaseDC(nullptr, screen);
    return shot;
}

uint32_t ScreenColour(int index) {
    return DrawToPixels(1, 1, SystemColour(index), [](HDC) {}).at(0);
}

uint32_t SystemColour(int index) {
    COLORREF colour = GetSysColor(index);
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

} // namespace e2e
