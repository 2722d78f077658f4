#include "install/ansi_path.h"

#include <vector>

#include "common/texts.h"
#include "install/listed_name.h"

namespace zunor {
namespace {

// The characters of text one by one; a surrogate pair is one character.
std::vector<std::wstring> Characters(std::wstring_view text) {
    std::vector<std::wstring> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        out.emplace_back(text.substr(i, pair ? 2 : 1));
        i += pair ? 1 : 0;
    }
    return out;
}

// The letters of our own language have a plain spelling; any other missing character becomes "_".
std::wstring_view PlainSpelling(std::wstring_view c) {
    static constexpr std::pair<wchar_t, std::wstring_view> kPlain[] = {
        {L'\u010D', L"c"}, {L'\u0107', L"c"}, {L'\u0161', L"s"}, {L'\u017E', L"z"}, {L'\u0111', L"dj"},
        {L'\u010C', L"C"}, {L'\u0106', L"C"}, {L'\u0160', L"S"}, {L'\u017D', L"Z"}, {L'\u0110', L"Dj"}};
    for (const auto& [letter, plain] : kPlain) {
        if (c.size() == 1 && c[0] == letter) {
            return plain;
        }
    }
    return L"_";
}

} // namespace

AnsiPath AnsiFormOf(const std::wstring& path, RunFiles& files, RunSystem& system) {
    if (system.AnsiHolds(path)) {
        return {path, false, {}};
    }
    const std::optional<FullPath> full = SplitFullPath(path);
    if (!full) {
        return {{}, false, path + L" is not a full path"};
    }
    // Everything up to the last name the code page lacks goes through the short form.
    std::size_t through = 0;
    for (std::size_t i = 0; i < full->names.size(); ++i) {
        if (!system.AnsiHolds(full->names[i])) {
            through = i + 1;
        }
    }
    std::wstring head = full->root;
    for (std::size_t i = 0; i < through; ++i) {
        head += L"\\" + full->names[i];
    }
    if (!files.PathExists(head)) {
        return {{}, false, head + L" does not exist yet, so it has no short form"};
    }
    const std::optional<std::wstring> shortHead = files.ShortPath(head);
    if (!shortHead || !system.AnsiHolds(*shortHead)) {
        return {{}, false, L"the volume gives " + head + L" no short form the code page holds"};
    }
    std::wstring form = *shortHead;
    for (std::size_t i = through; i < full->names.size(); ++i) {
        form += L"\\" + full->names[i];
    }
    return {form, true, {}};
}

std::wstring AnsiRefusalMessage(std::wstring_view location, RunSystem& system) {
    std::wstring lacking;
    std::wstring suggestion;
    for (const std::wstring& c : Characters(location)) {
        if (system.AnsiHolds(c)) {
            suggestion += c;
            continue;
        }
        suggestion += PlainSpelling(c);
        if (lacking.find(c) == std::wstring::npos) {
            lacking += (lacking.empty() ? L"" : L" ") + c;
        }
    }
    std::wstring text =
        texts::kLocationUnusable + std::wstring(location) + L"\r\n" + texts::kLocationAnsiLacks + lacking;
    // A plain spelling may itself make a name Windows refuses (a "Con" with a caron becomes the device
    // "Con"); then none is offered.
    if (!CheckLocation(suggestion) && system.AnsiHolds(suggestion)) {
        text += L"\r\n" + std::wstring(texts::kLocationSuggestion) + suggestion;
    }
    return text;
}

} // namespace zunor
