#pragma once

// A dialog built from a template of the program's resources: modal
// (DoModal) or a modeless child (Create). The dialog procedure only finds the
// object and dispatches to the virtual handlers below; no C++ exception
// leaves it.

#include "win/DataExchange.h"

#include <windows.h>

namespace win {

class Dialog {
public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; the value given to EndDialog, or -1 when the
    // window could not be made.
    INT_PTR DoModal(HWND parent);
    // Makes the dialog as a modeless window (a child when the template says so).
    bool Create(HWND parent);

    HWND hwnd() const { return hwnd_; }
    UINT templateId() const { return templateId_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

    // Runs Exchange: into the members when `save`, into the controls otherwise.
    // False when a value was refused.
    bool UpdateData(bool save);
    void EndDialog(INT_PTR result);

protected:
    // Default: members into the controls.
    virtual BOOL OnInitDialog();
    // WM_COMMAND. Default: OK and Cancel end a modal dialog. True when handled.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    virtual void OnOK();
    virtual void OnCancel();
    // Every other message; true when handled, with its result in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    virtual void Exchange(DataExchange&) {}

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void ReportFailure(const char* text);

    UINT templateId_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
};

} // namespace win
