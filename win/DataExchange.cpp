#include "win/DataExchange.h"

#include "win/IntField.h"
#include "win/Text.h"

#include <vector>

namespace win {

void DataExchange::Int(int id, int& value) {
    IntImpl(id, value, nullptr, {});
}

void DataExchange::Int(int id, int& value, unsigned min, unsigned max) {
    IntImpl(
        id, value, [=](int v) { return InUnsignedRange(v, min, max); }, UnsignedRangePrompt(min, max));
}

void DataExchange::SignedInt(int id, int& value, int min, int max) {
    IntImpl(
        id, value, [=](int v) { return v >= min && v <= max; }, SignedRangePrompt(min, max));
}

void DataExchange::IntImpl(int id, int& value, const std::function<bool(int)>& inRange,
                           const std::string& prompt) {
    if (failed_)
        return;
    if (!saving_) {
        SetDlgItemTextA(dialog_, id, std::to_string(value).c_str());
        return;
    }
    std::optional<int> parsed = ParseIntField(WindowText(Control(id)));
    if (!parsed) {
        Refuse(id, IntegerPrompt());
        return;
    }
    if (inRange && !inRange(*parsed)) {
        Refuse(id, prompt);
        return;
    }
    value = *parsed;
}

void DataExchange::Text(int id, std::string& value) {
    if (failed_)
        return;
    if (saving_)
        value = WindowText(Control(id));
    else
        SetDlgItemTextA(dialog_, id, value.c_str());
}

void DataExchange::Check(int id, int& value) {
    if (failed_)
        return;
    HWND box = Control(id);
    if (saving_) {
        value = static_cast<int>(SendMessageA(box, BM_GETCHECK, 0, 0));
        return;
    }
    WPARAM state = (value == BST_CHECKED || value == BST_INDETERMINATE) ? value : BST_UNCHECKED;
    SendMessageA(box, BM_SETCHECK, state, 0);
}

void DataExchange::Radio(int firstId, int& value) {
    if (failed_)
        return;
    // The group runs from the first button to the next control that starts a group.
    std::vector<HWND> buttons;
    HWND first = Control(firstId);
    for (HWND button = first; button; button = GetWindow(button, GW_HWNDNEXT)) {
        if (button != first && (GetWindowLongPtrA(button, GWL_STYLE) & WS_GROUP))
            break;
        if (SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
            buttons.push_back(button);
    }
    if (saving_) {
        value = -1;
        for (size_t i = 0; i < buttons.size(); ++i)
            if (SendMessageA(buttons[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = static_cast<int>(i);
        return;
    }
    for (size_t i = 0; i < buttons.size(); ++i)
        SendMessageA(buttons[i], BM_SETCHECK, static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DataExchange::Refuse(int id, const std::string& prompt) {
    failed_ = true;
    MessageBoxA(dialog_, prompt.c_str(), TopLevelCaption(dialog_).c_str(), MB_OK | MB_ICONEXCLAMATION);
    HWND field = Control(id);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
}

} // namespace win
