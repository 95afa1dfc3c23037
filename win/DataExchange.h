#pragma once

// Moves values between a dialog's controls and its members, in either
// direction. A dialog lists its bindings once in Exchange(DataExchange&).
// When saving, a refused value shows a prompt, puts the focus back on its
// field and stops the rest of the exchange.

#include <windows.h>

#include <functional>
#include <string>

namespace win {

class DataExchange {
public:
    DataExchange(HWND dialog, bool saving) : dialog_(dialog), saving_(saving) {}

    bool saving() const { return saving_; }
    bool failed() const { return failed_; }

    // A signed integer in an edit field.
    void Int(int id, int& value);
    // The same, refused unless it lies in [min, max] taken as unsigned.
    void Int(int id, int& value, unsigned min, unsigned max);
    // The same, refused unless it lies in [min, max] as a signed number.
    void SignedInt(int id, int& value, int min, int max);
    // The text of any control.
    void Text(int id, std::string& value);
    // A check box: 0 unchecked, 1 checked, 2 indeterminate; anything else shows unchecked.
    void Check(int id, int& value);
    // A group of radio buttons starting at `firstId` (it carries WS_GROUP):
    // the index of the checked one, -1 when none is.
    void Radio(int firstId, int& value);
    // Refuses the value of field `id`: shows `prompt` and puts the focus back.
    void Refuse(int id, const std::string& prompt);

private:
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    void IntImpl(int id, int& value, const std::function<bool(int)>& inRange, const std::string& prompt);

    HWND dialog_;
    bool saving_;
    bool failed_ = false;
};

} // namespace win
