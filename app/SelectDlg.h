#pragma once

// The parameter pages of the main window's three lists. A page is a hidden
// child dialog made once at start-up; on Capture the selected page of each
// list builds one executor for the session.
//
// Restore rule: a page reads its own stored values only when its list's
// stored last selection equals its display name byte for byte; otherwise it
// starts from its built-in defaults. Write rule: a page that builds its
// executor writes its own values and then its display name as its list's
// last selection.

#include "app/Execute.h"
#include "win/Dialog.h"

#include <memory>
#include <string>

class SettingsStore;

class CSelectDlg : public win::Dialog {
public:
    ~CSelectDlg() override = default;
    // Called each time the page becomes the visible page of its list.
    virtual void Activate() {}

    const std::string& displayName() const { return displayName_; }

protected:
    CSelectDlg(UINT templateId, UINT displayNameId, UINT lastSelectionId, SettingsStore& settings);

    // Whether the store named this page as its list's last selection when the page was made.
    bool wasLastSelection() const { return wasLastSelection_; }
    void WriteLastSelection();

    SettingsStore& settings;

private:
    std::string displayName_;
    UINT lastSelectionId_;
    bool wasLastSelection_;
};

class CWhatSelectDlg : public CSelectDlg {
public:
    virtual std::unique_ptr<CWhatExecute> CreateExecute(int captureMouse) = 0;

protected:
    CWhatSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings);
};

class CHowSelectDlg : public CSelectDlg {
public:
    virtual std::unique_ptr<CHowExecute> CreateExecute() = 0;

protected:
    CHowSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings);
    // The window the trigger reports to: the main window, parent of the page.
    HWND MainWindow() const { return GetParent(hwnd()); }
};

class CToSelectDlg : public CSelectDlg {
public:
    virtual std::unique_ptr<CToExecute> CreateExecute() = 0;

protected:
    CToSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings);
};
