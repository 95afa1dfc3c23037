#pragma once

// Base of the key and timer trigger pages: two boxes that take key
// combinations from the keyboard hook while they have the focus (the user
// presses the keys instead of typing), and the two radio buttons of the stop
// rule. Both pages keep their combinations under the same value names.

#include "app/SelectDlg.h"
#include "resources/resource.h"

#include <string>

struct KeyCombination {
    std::string name; // as its box shows it; empty when no key is set
    int keyCode = 0;  // virtual-key code; 0 names no key and matches nothing
    int flags = 0;    // flag word of the key's release, as the hook reported it
    int shift = 0;    // 0 or the down bit 0x80, likewise ctrl and alt
    int ctrl = 0;
    int alt = 0;
};

class CKeyEntryPage : public CHowSelectDlg {
public:
    const KeyCombination& startCombination() const { return start; }
    const KeyCombination& stopCombination() const { return stop; }

protected:
    CKeyEntryPage(UINT templateId, UINT displayNameId, SettingsStore& settings);

    // Stored values, each page in its own order around these.
    void ReadStart();
    void ReadStop();
    void WriteStart();
    void WriteStop();

    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void Exchange(win::DataExchange& exchange) override;
    // Enables the controls that belong to the checked stop rule.
    virtual void UpdateEnabling();

    // The checked stop rule: IDC_STOP_AFTER_CAPTURE, IDC_STOP_AFTER_KEY or 0.
    int CheckedStopRule() const;
    // When a combination the session needs is missing, tells the user which
    // and puts the focus on its box (ready to take keys); true then.
    bool RefuseIncomplete();

    KeyCombination start;
    KeyCombination stop;
    int stopKeyRadio;

private:
    enum class Target { None, Start, Stop };
    // The value names of one combination in the settings store.
    struct ValueNames {
        UINT keyCode, flags, shift, ctrl, alt;
    };
    static constexpr ValueNames kStartNames{IDS_KEY_CODE, IDS_SCAN_CODE, IDS_SHIFT, IDS_CTRL, IDS_ALT};
    static constexpr ValueNames kStopNames{IDS_STOP_KEY_CODE, IDS_STOP_SCAN_CODE, IDS_STOP_SHIFT,
                                           IDS_STOP_CTRL, IDS_STOP_ALT};
    void Read(KeyCombination& combination, const ValueNames& names);
    void Write(const KeyCombination& combination, const ValueNames& names);
    // Names the key reported by the hook (or a stored one when not `live`)
    // into the target combination and its box.
    void FormatKeyCombination(unsigned keyCode, unsigned flags, bool live);
    void ShowCheckedStopRule();
    void Refuse(const char* text, int boxId);

    Target target = Target::None;
};
