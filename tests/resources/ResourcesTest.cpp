// The compiled resources, read back through the same Win32 calls the program
// uses: dialog templates instantiated, strings, version block, sound, icons,
// manifest, and the step pictures through OleLoadPicture.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

struct DialogDeleter {
  void operator()(HWND w) const {
    if (w) DestroyWindow(w);
  }
};
using UniqueDialog = std::unique_ptr<std::remove_pointer_t<HWND>, DialogDeleter>;

UniqueDialog MakeDialog(int id, HWND parent) {
  return UniqueDialog(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), parent,
                                         PlainDialogProc, 0));
}

std::string WindowText(HWND w) {
  char buffer[1024] = {};
  GetWindowTextA(w, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND w) {
  char buffer[256] = {};
  GetClassNameA(w, buffer, sizeof buffer);
  return buffer;
}

// Position and size are converted separately, as the dialog manager does.
RECT DialogUnits(HWND dialog, int x, int y, int w, int h) {
  RECT r = {x, y, w, h};
  MapDialogRect(dialog, &r);
  return {r.left, r.top, r.left + r.right, r.top + r.bottom};
}

RECT ChildRect(HWND dialog, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> out;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
  return out;
}

std::vector<std::string> ChildTexts(HWND dialog) {
  std::vector<std::string> out;
  for (HWND c : Children(dialog)) out.push_back(WindowText(c));
  return out;
}

bool HasText(HWND dialog, const std::string& text) {
  for (const auto& t : ChildTexts(dialog))
    if (t == text) return true;
  return false;
}

class Resources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitCommonControls(); }
  void SetUp() override {
    main_ = MakeDialog(IDD_MAIN, nullptr);
    ASSERT_TRUE(main_) << "main window template did not load, error " << GetLastError();
  }
  HWND main() const { return main_.get(); }
  UniqueDialog main_;
};

struct Placed {
  int id;
  const char* cls;
  int x, y, w, h;  // dialog units; h < 0: not compared (closed drop-down lists)
  const char* text;
};

// Every named control sits where the layout puts it, in dialog units.
void ExpectLayout(HWND dialog, const std::vector<Placed>& controls) {
  for (const auto& c : controls) {
    SCOPED_TRACE("control " + std::to_string(c.id));
    HWND w = GetDlgItem(dialog, c.id);
    ASSERT_TRUE(w);
    EXPECT_STRCASEEQ(c.cls, ClassOf(w).c_str());
    RECT expected = DialogUnits(dialog, c.x, c.y, c.w, c.h < 0 ? 0 : c.h);
    RECT actual = ChildRect(dialog, w);
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    if (c.h >= 0) {
      EXPECT_EQ(expected.bottom, actual.bottom);
    }
    if (c.text) {
      EXPECT_EQ(c.text, WindowText(w));
    }
  }
}

void ExpectClientSize(HWND dialog, int w, int h) {
  RECT expected = DialogUnits(dialog, 0, 0, w, h);
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(expected.right, client.right);
  EXPECT_EQ(expected.bottom, client.bottom);
}

TEST_F(Resources, MainWindowLayoutStylesAndTexts) {
  HWND d = main();
  EXPECT_EQ("Vistrel", WindowText(d));
  LONG style = GetWindowLongA(d, GWL_STYLE);
  EXPECT_EQ(WS_POPUP | WS_CAPTION | WS_SYSMENU, style & (WS_POPUP | WS_CAPTION | WS_SYSMENU));
  EXPECT_TRUE(GetWindowLongA(d, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  ExpectClientSize(d, 341, 334);
  ExpectLayout(d, {
                      {IDOK, "Button", 270, 7, 64, 14, "Capture"},
                      {IDCANCEL, "Button", 270, 26, 64, 14, "Cancel"},
                      {IDC_WHAT_LIST, "ComboBox", 30, 7, 230, -1, nullptr},
                      {IDC_HIDE, "Button", 35, 32, 104, 10, "hide this window on capture"},
                      {IDC_MOUSE, "Button", 192, 32, 63, 10, "capture mouse"},
                      {IDC_HOW_LIST, "ComboBox", 30, 138, 230, -1, nullptr},
                      {IDC_TO_LIST, "ComboBox", 30, 245, 230, -1, nullptr},
                      {IDC_STEP1, "Static", 7, 7, 15, 13, ""},
                      {IDC_STEP2, "Static", 7, 138, 15, 13, ""},
                      {IDC_STEP3, "Static", 7, 245, 15, 13, ""},
                      {IDC_SOUND, "Button", 270, 52, 51, 10, "Play sound"},
                      {IDC_PREVIEW, "Button", 270, 68, 41, 10, "Preview"},
                  });
  EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(GetDlgItem(d, IDOK), GWL_STYLE) & 0xF);
  for (int id : {IDC_HIDE, IDC_MOUSE, IDC_SOUND, IDC_PREVIEW})
    EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongA(GetDlgItem(d, id), GWL_STYLE) & 0xF) << id;
  for (int id : {IDC_WHAT_LIST, IDC_HOW_LIST, IDC_TO_LIST}) {
    LONG s = GetWindowLongA(GetDlgItem(d, id), GWL_STYLE);
    EXPECT_EQ(CBS_DROPDOWNLIST, s & 3) << id;
    EXPECT_FALSE(s & CBS_SORT) << "lists keep the order of their pages";
  }
  // The group box sits at 30, 22, 230, 26.
  bool found = false;
  for (HWND c : Children(d)) {
    if (WindowText(c) != "Processing") continue;
    found = true;
    RECT e = DialogUnits(d, 30, 22, 230, 26), a = ChildRect(d, c);
    EXPECT_TRUE(EqualRect(&e, &a));
    EXPECT_EQ(BS_GROUPBOX, GetWindowLongA(c, GWL_STYLE) & 0xF);
  }
  EXPECT_TRUE(found);
}

TEST_F(Resources, ResultDialogLayoutAndStyles) {
  auto d = MakeDialog(IDD_RESULT, main());
  ASSERT_TRUE(d);
  EXPECT_EQ("Result", WindowText(d.get()));
  LONG style = GetWindowLongA(d.get(), GWL_STYLE);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_EQ(WS_CAPTION, style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_CHILD);
  ExpectClientSize(d.get(), 418, 249);
  ExpectLayout(d.get(), {
                            {IDOK, "Button", 360, 7, 51, 14, "Accept"},
                            {IDC_DROP, "Button", 360, 29, 51, 14, "Drop"},
                            {IDC_VSCROLL, "ScrollBar", 347, 7, 10, 222, nullptr},
                            {IDC_HSCROLL, "ScrollBar", 7, 232, 338, 10, nullptr},
                            {IDC_PICTURE, "Static", 7, 7, 339, 224, nullptr},
                        });
  EXPECT_EQ(SBS_VERT, GetWindowLongA(GetDlgItem(d.get(), IDC_VSCROLL), GWL_STYLE) & SBS_VERT);
  EXPECT_EQ(SBS_HORZ, GetWindowLongA(GetDlgItem(d.get(), IDC_HSCROLL), GWL_STYLE) & SBS_VERT);
  EXPECT_FALSE(GetWindowLongA(GetDlgItem(d.get(), IDC_PICTURE), GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongA(GetDlgItem(d.get(), IDOK), GWL_STYLE) & 0xF);
}

TEST_F(Resources, WaitingWindowAndAreaFrame) {
  auto waiting = MakeDialog(IDD_WAITING, main());
  ASSERT_TRUE(waiting);
  EXPECT_EQ("Vistrel Wizard", WindowText(waiting.get()));
  LONG style = GetWindowLongA(waiting.get(), GWL_STYLE);
  EXPECT_EQ(WS_CAPTION, style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU) << "no close box";
  EXPECT_TRUE(style & WS_POPUP);
  ExpectClientSize(waiting.get(), 241, 90);
  EXPECT_TRUE(Children(waiting.get()).empty());

  auto area = MakeDialog(IDD_SELECT_AREA, nullptr);
  ASSERT_TRUE(area);
  EXPECT_EQ("", WindowText(area.get()));
  style = GetWindowLongA(area.get(), GWL_STYLE);
  EXPECT_EQ(WS_POPUP | WS_CAPTION | WS_THICKFRAME, style & (WS_POPUP | WS_CAPTION | WS_THICKFRAME));
  LONG ex = GetWindowLongA(area.get(), GWL_EXSTYLE);
  EXPECT_EQ(WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE, ex & (WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE));
  EXPECT_TRUE(Children(area.get()).empty());
}

struct Page {
  int id;
  int height;
  std::map<int, std::string> controls;  // id -> text ("" when not compared)
  std::vector<std::string> labels;      // texts of id-less statics and group boxes
};

std::string CounterNote(const char* ext) {
  return std::string("If more than one image is captured in one session the file name is extented with a "
                     "counter (ex: test0001.") +
         ext + "; test0002." + ext + "; ....)";
}

TEST_F(Resources, PagesLoadAsHiddenChildrenOfTheirSizeWithTheirControls) {
  const std::string timerHeadline = " will enter the caption mode.";
  const std::vector<Page> pages = {
      {IDD_FULLSCREEN, 82, {}, {"Parameters"}},
      {IDD_ACTIVE_WINDOW,
       82,
       {{IDC_CLIENT_CAPTURE, "capture only the client area of the selected window"}},
       {"Parameters", "The client area of a window exclude the title bar and the window border."}},
      {IDD_AREA,
       82,
       {{IDC_FIXED_POSITION, "fixed starting position of the area"},
        {IDC_X_POSITION, ""},
        {IDC_Y_POSITION, ""},
        {IDC_FIXED_DIMENSIONS, "fixed dimensions of the area"},
        {IDC_WIDTH, ""},
        {IDC_HEIGHT, ""}},
       {"Parameters", "X position:", "Y position:", "Width:", "Height:"}},
      {IDD_CONTROL,
       82,
       {{IDC_SCROLL, "capture all contained data even non visible (auto-scrolling)"}},
       {"Parameters"}},
      {IDD_IMMEDIATE, 85, {}, {"Parameters"}},
      {IDD_ON_KEY,
       85,
       {{IDC_START_KEY, ""},
        {IDC_STOP_AFTER_CAPTURE, "Stop after first capture"},
        {IDC_STOP_AFTER_KEY, "Stop after key combination:"},
        {IDC_STOP_KEY, ""}},
       {"Parameters", "Key combination to start the capture:"}},
      {IDD_ON_TIMER,
       85,
       {{IDC_START_KEY, ""},
        {IDC_SECONDS, ""},
        {IDC_STOP_AFTER_CAPTURE, "Stop after"},
        {IDC_CAPTURES, ""},
        {IDC_STOP_AFTER_KEY, "Stop after key combination:"},
        {IDC_STOP_KEY, ""}},
       {"Parameters", "Key combination to start the capture:", "Take a screenshot after every", "second(s)",
        "capture(s)"}},
      {IDD_BITMAP,
       65,
       {{IDC_FILE_NAME, ""}, {IDC_BROWSE, "Browse"}},
       {"Parameters", "File name:", CounterNote("bmp")}},
      {IDD_CLIPBOARD, 65, {}, {"Parameters"}},
      {IDD_GIF, 65, {{IDC_FILE_NAME, ""}, {IDC_BROWSE, "Browse"}}, {"Parameters", "File name:", CounterNote("gif")}},
      {IDD_ANIMATED_GIF,
       65,
       {{IDC_FILE_NAME, ""}, {IDC_BROWSE, "Browse"}, {IDC_DELAY, ""}},
       {"Parameters", "File name:", "Delay between frames:", "1/100th of a second"}},
      {IDD_JPG, 65, {{IDC_FILE_NAME, ""}, {IDC_BROWSE, "Browse"}}, {"Parameters", "File name:", CounterNote("jpg")}},
      {IDD_PNG, 65, {{IDC_FILE_NAME, ""}, {IDC_BROWSE, "Browse"}}, {"Parameters", "File name:", CounterNote("png")}},
      {IDD_CONTROL_WIZARD,
       80,
       {},
       {"Please select the control you want to capture with\nthe mouse.", "Press the left mouse button to capture."}},
      {IDD_ON_KEY_WIZARD,
       80,
       {{IDC_HEADLINE, timerHeadline},
        {IDC_STATUS, ""},
        {IDC_WIZ_CAPTURE, "Capture"},
        {IDC_WIZ_HIDE, "Hide"},
        {IDC_WIZ_CANCEL, "Cancel"}},
       {"You may also push the 'Capture' button below.\n\nTo return to the main screen click 'Cancel'"}},
      {IDD_ON_TIMER_WIZARD,
       80,
       {{IDC_HEADLINE, timerHeadline},
        {IDC_STATUS, ""},
        {IDC_COUNTDOWN, "Timer has not been started yet."},
        {IDC_WIZ_CAPTURE, "Capture"},
        {IDC_WIZ_HIDE, "Hide"},
        {IDC_WIZ_CANCEL, "Cancel"}},
       {"You may also push the 'Capture' button below.\nTo return to the main screen click 'Cancel'"}},
  };
  for (const auto& p : pages) {
    SCOPED_TRACE("template " + std::to_string(p.id));
    auto d = MakeDialog(p.id, main());
    ASSERT_TRUE(d) << "error " << GetLastError();
    LONG style = GetWindowLongA(d.get(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & (WS_VISIBLE | WS_CAPTION | WS_BORDER | WS_THICKFRAME));
    ExpectClientSize(d.get(), 230, p.height);
    for (const auto& [id, text] : p.controls) {
      HWND c = GetDlgItem(d.get(), id);
      ASSERT_TRUE(c) << "control " << id;
      if (!text.empty()) {
        EXPECT_EQ(text, WindowText(c)) << "control " << id;
      }
    }
    for (const auto& label : p.labels) EXPECT_TRUE(HasText(d.get(), label)) << label;
    if (p.id == IDD_CONTROL) {
      EXPECT_FALSE(GetWindowLongA(GetDlgItem(d.get(), IDC_SCROLL), GWL_STYLE) & WS_VISIBLE);
    }
  }
}

TEST_F(Resources, WaitingPagesShowTheirIcons) {
  for (auto [page, icon] : {std::pair{IDD_ON_KEY_WIZARD, IDI_KEY_WIZARD}, std::pair{IDD_ON_TIMER_WIZARD, IDI_KEY_WIZARD},
                            std::pair{IDD_CONTROL_WIZARD, IDI_CONTROL_WIZARD}}) {
    auto d = MakeDialog(page, main());
    ASSERT_TRUE(d);
    int icons = 0;
    for (HWND c : Children(d.get())) {
      if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
      ++icons;
      EXPECT_TRUE(SendMessageA(c, STM_GETICON, 0, 0)) << "icon " << icon << " on page " << page;
    }
    EXPECT_EQ(1, icons) << page;
  }
}

TEST(ResourceStrings, EveryNamedTextExactlyAndNoOthers) {
  const std::map<int, std::string> texts = {
      {104, "lastWhatSelection"},
      {105, "lastHowSelection"},
      {106, "lastToSelection"},
      {107, "Capture the whole screen"},
      {108, "mouse"},
      {109, "hide"},
      {110, "Capture the active window"},
      {111, "Capture selected area"},
      {112, "clientCapture"},
      {113, "fixedPosition"},
      {114, "fixedDimensions"},
      {115, "xPosition"},
      {116, "yPosition"},
      {117, "width"},
      {118, "height"},
      {119, "Capture immediately after clicking on the \"Capture\" button"},
      {120, "Capture after pressing a key"},
      {121, "scanCode"},
      {122, "keyCode"},
      {123, "ctrl"},
      {124, "alt"},
      {125, "shift"},
      {126, "Save result as bitmap"},
      {127, "fileName"},
      {128, "Save result to clipboard"},
      {131, "stopKeyRadio"},
      {132, "stopScanCode"},
      {133, "stopKeyCode"},
      {134, "stopCtrl"},
      {135, "stopAlt"},
      {136, "stopShift"},
      {137, "img"},
      {138, "\\STEP1.GIF"},
      {139, "\\STEP2.GIF"},
      {140, "\\STEP3.GIF"},
      {141, "Save result as GIF"},
      {142, "Save result as animated GIF"},
      {143, "delay"},
      {144, "Save result as JPEG"},
      {145, "Save result as PNG"},
      {146, "Capture a button or a menu or a window pane or ..."},
      {147, "scroll"},
      {148, "Capture after a number of seconds"},
      {149, "numberOfCaptures"},
      {150, "seconds"},
      {152, "sound"},
      {153, "preview"},
  };
  HINSTANCE self = GetModuleHandleA(nullptr);
  for (int id = 100; id <= 154; ++id) {
    char buffer[512] = {};
    int n = LoadStringA(self, id, buffer, sizeof buffer);
    auto it = texts.find(id);
    if (it == texts.end()) {
      EXPECT_EQ(0, n) << "unexpected string " << id << ": " << buffer;
    } else {
      EXPECT_EQ(it->second, std::string(buffer, n)) << "string " << id;
    }
  }
}

std::string VersionValue(const std::vector<char>& block, const char* name) {
  std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
  char* value = nullptr;
  UINT size = 0;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) || !value) return "<none>";
  return value;
}

TEST(ResourceVersion, BlockReadsOneTwoOne) {
  char path[MAX_PATH] = {};
  ASSERT_TRUE(GetModuleFileNameA(nullptr, path, MAX_PATH));
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
  EXPECT_EQ("1.2.1", VersionValue(block, "ProductVersion"));
  EXPECT_EQ("1.2.1", VersionValue(block, "FileVersion"));
  EXPECT_EQ("Vistrel", VersionValue(block, "ProductName"));
  EXPECT_EQ("Vistrel", VersionValue(block, "InternalName"));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  EXPECT_EQ(MAKELONG(2, 1), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionLS);
  EXPECT_EQ(MAKELONG(2, 1), fixed->dwProductVersionMS);
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwProductVersionLS);
}

std::string ResourceBytes(LPCSTR name, LPCSTR type) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(self, found);
  const char* bytes = static_cast<const char*>(LockResource(loaded));
  return bytes ? std::string(bytes, SizeofResource(self, found)) : std::string();
}

uint32_t U32(const std::string& s, size_t at) {
  uint32_t v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}
uint16_t U16(const std::string& s, size_t at) {
  uint16_t v;
  std::memcpy(&v, s.data() + at, 2);
  return v;
}

TEST(ResourceSound, CameraSoundIsStereo44kHz16BitOf53248Bytes) {
  std::string wav = ResourceBytes(IDR_CAMERASOUND, RT_WAVE_NAME);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ("RIFF", wav.substr(0, 4));
  EXPECT_EQ(wav.size() - 8, U32(wav, 4));
  EXPECT_EQ("WAVE", wav.substr(8, 4));
  EXPECT_EQ("fmt ", wav.substr(12, 4));
  EXPECT_EQ(16u, U32(wav, 16));
  EXPECT_EQ(1, U16(wav, 20)) << "PCM";
  EXPECT_EQ(2, U16(wav, 22)) << "channels";
  EXPECT_EQ(44100u, U32(wav, 24));
  EXPECT_EQ(44100u * 4, U32(wav, 28)) << "bytes per second";
  EXPECT_EQ(4, U16(wav, 32)) << "block align";
  EXPECT_EQ(16, U16(wav, 34)) << "bits";
  EXPECT_EQ("data", wav.substr(36, 4));
  ASSERT_EQ(53248u, U32(wav, 40));
  ASSERT_EQ(44u + 53248u, wav.size());
  // Audible, and ending in silence so that it does not end in a click.
  int peak = 0;
  for (size_t i = 44; i < wav.size(); i += 2) peak = std::max(peak, std::abs(static_cast<int16_t>(U16(wav, i))));
  EXPECT_GT(peak, 8000);
  EXPECT_LT(std::abs(static_cast<int16_t>(U16(wav, wav.size() - 2))), 64);
}

TEST(ResourceIcons, EveryIconLoadsInEverySize) {
  for (int id : {IDI_MAIN, IDI_KEY_WIZARD, IDI_CONTROL_WIZARD}) {
    for (int size : {16, 32, 48}) {
      HICON icon = static_cast<HICON>(
          LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
      ASSERT_TRUE(icon) << id << " at " << size;
      ICONINFO info = {};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      BITMAP bm = {};
      GetObjectA(info.hbmColor, sizeof bm, &bm);
      EXPECT_EQ(size, bm.bmWidth) << id;
      EXPECT_EQ(size, bm.bmHeight) << id;
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      DestroyIcon(icon);
    }
    EXPECT_TRUE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id))) << id;
  }
}

TEST(ResourceManifest, CommonControlsSixForAmd64AndPerMonitorDpiAware) {
  std::string manifest = ResourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
  EXPECT_EQ(std::string::npos, manifest.find("processorArchitecture=\"x86\""));
  EXPECT_NE(std::string::npos, manifest.find("processorArchitecture=\"amd64\""));
  EXPECT_NE(std::string::npos,
            manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"));
  EXPECT_NE(std::string::npos, manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                                             "WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"));
  // The loader honoured it: this program (which carries the same manifest) is per-monitor aware.
  HMODULE user = GetModuleHandleA("user32.dll");
  auto context = reinterpret_cast<HANDLE(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
  auto awareness = reinterpret_cast<int(WINAPI*)(HANDLE)>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
  ASSERT_TRUE(context && awareness);
  EXPECT_EQ(awareness(context()), 2) << "not DPI_AWARENESS_PER_MONITOR_AWARE";
  // The loader honoured it: comctl32 comes from the side-by-side version 6 assembly.
  ACTCTX_SECTION_KEYED_DATA redirect = {};
  redirect.cbSize = sizeof redirect;
  EXPECT_TRUE(FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, "comctl32.dll",
                                       &redirect));
  char path[MAX_PATH] = {};
  GetModuleFileNameA(LoadLibraryA("comctl32.dll"), path, MAX_PATH);
  std::string lower(path);
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(std::string::npos, lower.find("common-controls")) << path;
  EXPECT_NE(std::string::npos, lower.find("_6.0.")) << path;
}

TEST(StepPictures, OlePictureLoadsEachBesideTheProgram) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string dir(exe);
  dir.resize(dir.find_last_of("\\/") + 1);
  HDC screen = GetDC(nullptr);
  for (int n = 1; n <= 3; ++n) {
    std::string path = dir + "img\\STEP" + std::to_string(n) + ".GIF";
    SCOPED_TRACE(path);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD size = GetFileSize(file, nullptr), read = 0;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    ReadFile(file, GlobalLock(memory), size, &read, nullptr);
    GlobalUnlock(memory);
    CloseHandle(file);
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(memory, TRUE, &stream));
    IPicture* picture = nullptr;
    ASSERT_EQ(S_OK, OleLoadPicture(stream, size, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture)));
    stream->Release();
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    // The pictures suit placeholders of 15 x 13 dialog units (about 22 x 21 pixels).
    EXPECT_EQ(22, MulDiv(w, GetDeviceCaps(screen, LOGPIXELSX), 2540));
    EXPECT_EQ(21, MulDiv(h, GetDeviceCaps(screen, LOGPIXELSY), 2540));
    picture->Release();
  }
  ReleaseDC(nullptr, screen);
}

}  // namespace
