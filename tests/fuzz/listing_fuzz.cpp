// libFuzzer target: any page through the listing scan and any name through the name rules. Whatever
// the server sends, a name that is let through must be one plain file name in one folder, and its
// URL form must be one ASCII path segment that names the same file. The page is also read as a
// SHA256SUMS file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "install/listed_name.h"
#include "install/listing_parser.h"
#include "install/sha256_sums.h"
#include "install/utf8_text.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

int Hex(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

// Written apart from the program's own rules, so a slip in those shows here.
bool IsDevice(std::wstring_view name) {
    std::wstring base(name.substr(0, name.find(L'.')));
    while (!base.empty() && base.back() == L' ') {
        base.pop_back();
    }
    for (auto& c : base) {
        c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    }
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (base == device) {
            return true;
        }
    }
    return base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) &&
           ((base[3] >= L'1' && base[3] <= L'9') || base[3] == 0xB9 || base[3] == 0xB2 || base[3] == 0xB3);
}

void CheckName(std::string_view raw) {
    const auto name = zunor::DecodeListedName(raw, nullptr);
    if (!name) {
        return;
    }
    Check(name->raw == raw);
    const std::wstring& file = name->fileName;
    Check(!file.empty() && file != L"." && file != L"..");
    Check(file.back() != L'.' && file.back() != L' ');
    for (const wchar_t c : file) {
        Check(c >= 0x20 && c != 0x7F && std::wstring_view(L"\\/:*?\"<>|").find(c) == std::wstring_view::npos);
    }
    Check(!IsDevice(file));

    std::string bytes; // the URL segment with its escapes undone
    const std::wstring& url = name->urlName;
    for (std::size_t i = 0; i < url.size(); ++i) {
        const wchar_t c = url[i];
        Check(c > 0x20 && c < 0x7F && std::wstring_view(L"/?#\\\" <>").find(c) == std::wstring_view::npos);
        if (c == L'%') {
            Check(i + 2 < url.size() && Hex(url[i + 1]) >= 0 && Hex(url[i + 2]) >= 0);
            bytes.push_back(static_cast<char>(Hex(url[i + 1]) * 16 + Hex(url[i + 2])));
            i += 2;
        } else {
            bytes.push_back(static_cast<char>(c));
        }
    }
    const auto fromUrl = zunor::DecodeUtf8(bytes);
    Check(fromUrl.has_value() && *fromUrl == file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    const auto program = zunor::ParseListing(page, zunor::ListingKind::Program);
    const auto support = zunor::ParseListing(page, zunor::ListingKind::Support);
    const auto templates = zunor::ParseListing(page, zunor::ListingKind::Template);
    Check(templates == support);

    // The program folder's own names: its archives, and its sub-folders in any case.
    const auto programOnly = [](std::string name) {
        if (name == "SETUP_ZUNOR.rar" || name == "Zunor2021VK.rar") {
            return true;
        }
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
        return name == "SUPORT" || name == "TEMPLATE";
    };
    std::vector<std::string> inProgram;
    for (const std::string& name : support) {
        Check(!name.empty() && name.size() <= 93 && name != "." && name != "..");
        Check(name.front() != '?' && name.front() != '/' && name.front() != '#' && name.back() != '/');
        Check(name.find('\r') == std::string::npos && name.find('\n') == std::string::npos);
        Check(page.find(name) != std::string_view::npos);
        if (!programOnly(name)) {
            inProgram.push_back(name);
        }
        CheckName(name);
    }
    Check(program == inProgram);

    // Every line is scanned on its own: the page gives what its lines give one by one, in order.
    // The lines are cut here apart from the program's own splitting.
    std::vector<std::string> byLine;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i <= page.size(); ++i) {
        if (i == page.size() || page[i] == '\r' || page[i] == '\n') {
            const auto names = zunor::ParseListing(page.substr(lineStart, i - lineStart), zunor::ListingKind::Support);
            byLine.insert(byLine.end(), names.begin(), names.end());
            if (i + 1 < page.size() && page[i] == '\r' && page[i + 1] == '\n') {
                ++i;
            }
            lineStart = i + 1;
        }
    }
    Check(byLine == support);

    // With the page's origin known, links by absolute path or address into the folder give names too:
    // each is what the page wrote, and held to the same rules.
    for (const auto kind :
         {zunor::ListingKind::Program, zunor::ListingKind::Support, zunor::ListingKind::Template}) {
        for (const std::string& name : zunor::ParseListing(page, kind, nullptr, "https://localhost:8443")) {
            Check(!name.empty() && name.size() <= 93 && name.find_first_of("\r\n") == std::string::npos);
            Check(name.front() != '?' && name.front() != '#' && name.back() != '/');
            Check(page.find(name) != std::string_view::npos);
            CheckName(name);
        }
    }

    // The name rules on their own, beyond what a link can hold: every quoted or line-bounded piece.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= page.size(); ++i) {
        if (i == page.size() || std::string_view("\"'<>\r\n").find(page[i]) != std::string_view::npos) {
            CheckName(page.substr(start, std::min<std::size_t>(i - start, 200)));
            start = i + 1;
        }
    }
    // The same bytes as a SHA256SUMS file: names stay within their line, and no name is both vouched
    // for and reported bad.
    const zunor::Sha256Sums sums = zunor::ParseSha256Sums(page);
    for (const auto& [name, digest] : sums.digests) {
        Check(!name.empty() && name.find_first_of("\r\n") == std::string::npos);
    }
    for (const zunor::BadSumsLine& bad : sums.badLines) {
        Check(bad.lineNumber > 0 && bad.name.find_first_of("\r\n") == std::string::npos);
        Check(!sums.digests.contains(bad.name));
    }
    (void)zunor::DisplayText(page);
    return 0;
}
