#include "install/sha256_sums.h"

#include <optional>
#include <set>

#include "install/listing_parser.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

constexpr std::size_t kHexDigits = 64;

std::optional<Sha256Digest> ParseDigest(std::string_view hex) {
    if (hex.size() != kHexDigits) {
        return std::nullopt;
    }
    Sha256Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return digest;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// What a line that is not in the expected form seems to name: the text after the first run of
// blanks (and a binary marker), if any.
std::string GuessName(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && !IsBlank(line[i])) {
        ++i;
    }
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    if (i < line.size() && line[i] == '*') {
        ++i;
    }
    return std::string(line.substr(i));
}

} // namespace

Sha256Sums ParseSha256Sums(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    Sha256Sums sums;
    std::set<std::string> conflicting;
    std::size_t lineNumber = 0;
    for (const std::string_view line : LinesToScan(text)) {
        ++lineNumber;
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        const std::optional<Sha256Digest> digest = ParseDigest(line.substr(0, kHexDigits));
        const bool wellFormed = digest && line.size() > kHexDigits + 2 && line[kHexDigits] == ' ' &&
                                (line[kHexDigits + 1] == ' ' || line[kHexDigits + 1] == '*');
        if (!wellFormed) {
            sums.badLines.push_back({lineNumber, GuessName(line)});
            continue;
        }
        std::string name(line.substr(kHexDigits + 2));
        if (conflicting.contains(name)) {
            sums.badLines.push_back({lineNumber, std::move(name)});
            continue;
        }
        const auto [it, inserted] = sums.digests.emplace(name, *digest);
        if (!inserted && it->second != *digest) {
            // Two different digests for one file: neither can be trusted.
            sums.digests.erase(it);
            conflicting.insert(name);
            sums.badLines.push_back({lineNumber, std::move(name)});
        }
    }
    // A name with a bad line is not vouched for even where another line gives a digest for it.
    for (const BadSumsLine& bad : sums.badLines) {
        sums.digests.erase(bad.name);
    }
    return sums;
}

} // namespace zunor
