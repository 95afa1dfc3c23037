#pragma once

// Drives vsr.exe from a test program: starts it in a chosen working folder,
// finds its windows, works its controls with window messages, reads the
// registry and the screen. Every wait has a time limit.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The folder of the running test program: vsr.exe, hook.dll and img\ are there.
std::string BinDir();
// A new empty folder under the temporary folder, removed by its destructor.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// One running vsr.exe; terminated by the destructor if it still runs.
class VsrProcess {
public:
    VsrProcess() = default;
    ~VsrProcess();
    VsrProcess(const VsrProcess&) = delete;
    VsrProcess& operator=(const VsrProcess&) = delete;

    // Starts `exe` (default: vsr.exe beside the test) with `workDir` as its working folder.
    // Wine now and then refuses a process creation right after another process
    // ended; a refused start is tried twice more before it counts as failed.
    bool Start(const std::string& workDir, const std::string& exe = std::string());
    // GetLastError of the last refused start.
    DWORD startError() const { return startError_; }
    // The main window once it is visible; none after the time limit.
    HWND WaitMainWindow(DWORD timeoutMs = 15000);
    // Ends the main window with Cancel and waits for the process to end.
    bool Close(DWORD timeoutMs = 10000);
    // Waits for the process to end; its exit code in `exitCode`.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    DWORD startError_ = 0;
    HWND main_ = nullptr;
};

// vsr.exe started in `workDir` with its main window found (or not, see ASSERT_RUNNING).
struct Running {
    explicit Running(const std::string& workDir = BinDir()) {
        started = process.Start(workDir);
        if (started)
            window = process.WaitMainWindow();
    }
    VsrProcess process;
    bool started = false;
    HWND window = nullptr;
};

#define ASSERT_RUNNING(app)                                                                                  \
    ASSERT_TRUE((app).started) << "vsr.exe could not be started from " << e2e::BinDir() << ", error "        \
                               << (app).process.startError();                                               \
    ASSERT_NE((app).window, nullptr) << "the main window did not appear within 15 s"

// Visible top-level windows of a process.
std::vector<HWND> TopLevelWindows(DWORD pid);
std::string WindowText(HWND window);
std::string ClassName(HWND window);

struct MessageBoxSeen {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};
// A visible message box of process `pid` whose caption begins with
// `captionPrefix`; none after the time limit.
std::optional<MessageBoxSeen> WaitMessageBox(DWORD pid, const std::string& captionPrefix, DWORD timeoutMs);
// Presses the box's OK button.
void CloseMessageBox(HWND box);

// Drop-down lists.
std::vector<std::string> ComboTexts(HWND combo);
int ComboSelection(HWND combo);
// Selects entry `index` as a user would: the list changes, then its owner hears of it.
bool SelectComboEntry(HWND dialog, int comboId, int index);

// Check boxes and buttons.
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
// Clicks a button; false when the dialog did not answer in time.
bool PressButton(HWND dialog, int id, DWORD timeoutMs = 10000);

// Types one key (press and release) into whatever has the keyboard focus,
// after making `window` the foreground window; false when it could not.
bool TypeKey(HWND window, WORD virtualKey);

// Visible child dialogs (the parameter pages) of a dialog, with their rectangles in its client coordinates.
struct ChildPage {
    HWND window;
    RECT rect;
};
std::vector<ChildPage> VisibleChildDialogs(HWND dialog);
// A window's rectangle in the client coordinates of `parent`.
RECT RectInParent(HWND window, HWND parent);

// The program's registry key HKEY_CURRENT_USER\Software\Quorvane\Vistrel.
namespace settings {
bool DeleteKey();
bool KeyExists();
std::optional<DWORD> ReadNumber(const char* name);
std::optional<std::string> ReadText(const char* name);
bool WriteNumber(const char* name, DWORD value);
bool WriteText(const char* name, const std::string& text);
} // namespace settings

// The whole screen as 0x00RRGGBB pixels.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Pixels of `rect` (screen coordinates) that differ from `colour`.
    int CountDifferent(const RECT& rect, uint32_t colour) const;
};
Screenshot TakeScreenshot();
// Runs `paint` on a bitmap of the screen's format first filled with
// `background`; its pixels as 0x00RRGGBB, as the screen would show them.
std::vector<uint32_t> DrawToPixels(int width, int height, uint32_t background,
                                   const std::function<void(HDC)>& paint);
// A system colour as 0x00RRGGBB.
uint32_t SystemColour(int index);
// A system colour as the screen shows it at its depth.
uint32_t ScreenColour(int index);

// Runs `condition` until it holds or the time is up.
template <typename Condition> bool WaitFor(Condition condition, DWORD timeoutMs, DWORD stepMs = 50) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(stepMs);
    }
}

} // namespace e2e
