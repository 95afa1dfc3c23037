#include "win/Text.h"

#include "win/ModulePath.h"

namespace win {

std::string LoadText(UINT id) {
    // LoadStringA truncates to the buffer; grow until the text fits with room to spare.
    std::string text(256, '\0');
    for (;;) {
        int length = LoadStringA(GetModuleHandleA(nullptr), id, &text[0], static_cast<int>(text.size()));
        if (length <= 0)
            return std::string();
        if (static_cast<size_t>(length) < text.size() - 1) {
            text.resize(static_cast<size_t>(length));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

std::wstring ProgramFolder() {
    const std::wstring file = OwnModulePath();
    const size_t slash = file.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : file.substr(0, slash + 1);
}

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

std::string SystemErrorText(DWORD code) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length && buffer ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

std::string TopLevelCaption(HWND window) {
    HWND top = window ? GetAncestor(window, GA_ROOT) : nullptr;
    std::string caption = top ? WindowText(top) : std::string();
    return caption.empty() ? std::string("Vistrel") : caption;
}

} // namespace win
