#include "install/install_paths.h"

#include "common/texts.h"

namespace zunor {
namespace {

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

std::wstring_view ServerFolder(ListingKind kind) {
    switch (kind) {
    case ListingKind::Program:
        return L"/zunor";
    case ListingKind::Support:
        return L"/zunor/SUPORT";
    case ListingKind::Template:
        return L"/zunor/TEMPLATE";
    }
    return L"/zunor";
}

} // namespace

std::wstring WithSeparator(std::wstring_view location) {
    std::wstring out(location);
    if (!out.empty() && out.back() != L'\\' && out.back() != L'/') {
        out.push_back(L'\\');
    }
    return out;
}

std::array<std::wstring, 4> FolderLayout(std::wstring_view location) {
    const std::wstring base = WithSeparator(location);
    const std::wstring program = ProgramFolder(location);
    return {base, program, program + L"\\DATA", program + L"\\TEMPLATE"};
}

std::wstring ProgramFolder(std::wstring_view location) {
    return WithSeparator(location) + texts::kProgramFolder;
}

std::wstring ProgramFolderWithSlash(std::wstring_view location) {
    return ProgramFolder(location) + L"\\";
}

std::wstring TemplateFolderWithSlash(std::wstring_view location) {
    return ProgramFolder(location) + L"\\TEMPLATE\\";
}

std::wstring ProgramFilePath(std::wstring_view location, std::wstring_view name) {
    return ProgramFolderWithSlash(location).append(name);
}

std::wstring ListingUrl(std::wstring_view serverBase, ListingKind kind) {
    return std::wstring(serverBase).append(ServerFolder(kind));
}

std::wstring ListingFileName(ListingKind kind) {
    switch (kind) {
    case ListingKind::Program:
        return L"pdown.ini";
    case ListingKind::Support:
        return L"sdown.ini";
    case ListingKind::Template:
        return L"tdown.ini";
    }
    return L"pdown.ini";
}

std::vector<std::wstring> SplitOrigins(std::wstring_view serverBase) {
    std::vector<std::wstring> origins;
    for (std::size_t start = 0; start <= serverBase.size();) {
        std::size_t end = serverBase.find(L';', start);
        if (end == std::wstring_view::npos) {
            end = serverBase.size();
        }
        std::wstring origin(serverBase.substr(start, end - start));
        while (!origin.empty() && origin.back() == L'/') {
            origin.pop_back();
        }
        if (!origin.empty()) {
            origins.push_back(std::move(origin));
        }
        start = end + 1;
    }
    if (origins.empty()) {
        origins.emplace_back();
    }
    return origins;
}

std::wstring FileUrl(std::wstring_view serverBase, ListingKind kind, std::wstring_view urlName) {
    return ListingUrl(serverBase, kind).append(L"/").append(urlName);
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsDatabaseName(std::wstring_view fileName) {
    return SamePath(fileName, texts::kDatabase);
}

std::optional<PartFileName> ParsePartFileName(std::wstring_view name) {
    constexpr std::wstring_view kSuffix = L".zunor-part";
    if (!name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    name.remove_suffix(kSuffix.size());
    const std::size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring_view::npos || dot == 0 || dot + 1 == name.size() || name.size() - dot - 1 > 9) {
        return std::nullopt;
    }
    unsigned long id = 0;
    for (const wchar_t c : name.substr(dot + 1)) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        id = id * 10 + static_cast<unsigned long>(c - L'0');
    }
    return PartFileName{std::wstring(name.substr(0, dot)), id};
}

std::wstring FolderOf(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return std::wstring(slash == std::wstring_view::npos ? std::wstring_view{} : path.substr(0, slash));
}

std::wstring NameOf(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

} // namespace zunor
