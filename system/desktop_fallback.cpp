#include "system/desktop_fallback.h"

namespace zunor {

std::wstring DesktopPathFromUserBuffer(std::wstring_view buffer) {
    const auto first = buffer.find_first_not_of(L' ');
    std::wstring name;
    if (first != std::wstring_view::npos) {
        const auto last = buffer.find_last_not_of(L' ');
        for (wchar_t c : buffer.substr(first, last - first + 1))
            if (c != L'\0')
                name.push_back(c);
    }
    return L"C:\\Documents and Settings\\" + name + L"\\Desktop";
}

} // namespace zunor
