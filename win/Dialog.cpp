#include "win/Dialog.h"

#include "win/Compositor.h"
#include "win/FileError.h"
#include "win/Text.h"

#include <exception>
#include <new>

namespace win {

namespace {

// Messages whose result a dialog procedure returns itself instead of in DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORMSGBOX:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
        return true;
    default:
        return false;
    }
}

constexpr UINT kDpiChanged = 0x02E0; // WM_DPICHANGED, newer than our SDK target

bool IsTopLevel(HWND window) {
    return (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) == 0;
}

// A top-level window moved to another monitor's scale takes the place and
// size the system proposes; the dialog manager then rescales its contents.
void FollowDpiChange(HWND window, LPARAM suggested) {
    const RECT* r = reinterpret_cast<const RECT*>(suggested);
    if (r && IsTopLevel(window))
        SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

Dialog::~Dialog() {
    if (hwnd_ && !modal_) {
        // A window outliving its object would dispatch into freed memory.
        SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

INT_PTR Dialog::DoModal(HWND parent) {
    modal_ = true;
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

bool Dialog::Create(HWND parent) {
    modal_ = false;
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool Dialog::UpdateData(bool save) {
    DataExchange exchange(hwnd_, save);
    Exchange(exchange);
    return !exchange.failed();
}

void Dialog::EndDialog(INT_PTR result) {
    if (hwnd_ && modal_)
        ::EndDialog(hwnd_, result);
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

bool Dialog::OnCommand(WORD id, WORD code, HWND) {
    if (code != BN_CLICKED)
        return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void Dialog::OnOK() {
    if (modal_ && UpdateData(true))
        EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->hwnd_ = window;
    } else {
        dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!dialog)
        return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
        return FALSE;
    }
    try {
        return dialog->Dispatch(message, wParam, lParam);
    } catch (const FileError& error) {
        dialog->ReportFailure(error.what());
    } catch (const std::bad_alloc&) {
        dialog->ReportFailure("Out of memory.");
    } catch (const std::exception& error) {
        dialog->ReportFailure(error.what());
    } catch (...) {
        dialog->ReportFailure("An unexpected error occurred.");
    }
    return FALSE;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // Our windows vanish at once when hidden: a fade would reach into a capture.
        if (IsTopLevel(hwnd_))
            DisableTransitions(hwnd_);
        return OnInitDialog();
    }
    if (message == WM_COMMAND) {
        bool handled = OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return handled ? TRUE : FALSE;
    }
    INT_PTR result = 0;
    if (!OnMessage(message, wParam, lParam, result)) {
        if (message == kDpiChanged)
            FollowDpiChange(hwnd_, lParam);
        return FALSE;
    }
    if (ReturnsResultDirectly(message))
        return result;
    SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

void Dialog::ReportFailure(const char* text) {
    // Owned by the top-level window so a child page's box is modal to the program.
    HWND owner = hwnd_ ? GetAncestor(hwnd_, GA_ROOT) : nullptr;
    MessageBoxA(owner, text, TopLevelCaption(hwnd_).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

} // namespace win
