#include "common/publisher_signature.h"

#include <algorithm>
#include <string>

namespace zunor {
namespace {

constexpr std::string_view kPemBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kPemEnd = "-----END PUBLIC KEY-----";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Line breaks and blanks between the characters are allowed; "=" only at the end.
std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    std::size_t padding = 0;
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out.push_back(static_cast<char>(bits >> 16));
            out.push_back(static_cast<char>(bits >> 8));
            out.push_back(static_cast<char>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2 || (count != 0 && static_cast<std::size_t>(4 - count) != padding) ||
        (count == 0 && padding != 0)) {
        return std::nullopt;
    }
    if (count == 2)
        out.push_back(static_cast<char>(bits >> 4));
    if (count == 3) {
        out.push_back(static_cast<char>(bits >> 10));
        out.push_back(static_cast<char>(bits >> 2));
    }
    return out;
}

// One DER element: its tag and its contents; rest is what follows it.
struct Element {
    std::uint8_t tag = 0;
    std::string_view contents;
    std::string_view rest;
};

std::optional<Element> ReadElement(std::string_view der) {
    if (der.size() < 2)
        return std::nullopt;
    Element element;
    element.tag = static_cast<std::uint8_t>(der[0]);
    std::size_t length = static_cast<std::uint8_t>(der[1]);
    std::size_t header = 2;
    if (length == 0x81) { // the long form, only where the short one cannot say it
        if (der.size() < 3 || static_cast<std::uint8_t>(der[2]) < 0x80)
            return std::nullopt;
        length = static_cast<std::uint8_t>(der[2]);
        header = 3;
    } else if (length > 0x80) {
        return std::nullopt; // nothing here is that long
    } else if (length == 0x80) {
        return std::nullopt; // indefinite: not DER
    }
    if (der.size() - header < length)
        return std::nullopt;
    element.contents = der.substr(header, length);
    element.rest = der.substr(header + length);
    return element;
}

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kBitString = 0x03;
constexpr std::uint8_t kObjectId = 0x06;
// 1.2.840.10045.2.1 (an EC public key) and 1.2.840.10045.3.1.7 (the curve P-256).
constexpr std::string_view kEcPublicKey = "\x2a\x86\x48\xce\x3d\x02\x01";
constexpr std::string_view kP256 = "\x2a\x86\x48\xce\x3d\x03\x01\x07";

// A positive INTEGER of at most 32 bytes of value, minimally encoded, right-aligned into out.
bool ReadScalar(std::string_view contents, std::uint8_t* out) {
    if (contents.empty() || (static_cast<std::uint8_t>(contents[0]) & 0x80) != 0)
        return false;
    if (contents.size() > 1 && contents[0] == 0 && (static_cast<std::uint8_t>(contents[1]) & 0x80) == 0) {
        return false; // a zero that is not needed
    }
    if (contents[0] == 0)
        contents.remove_prefix(1);
    if (contents.size() > 32)
        return false;
    std::fill(out, out + 32, std::uint8_t{0});
    std::copy(contents.begin(), contents.end(), out + (32 - contents.size()));
    return std::any_of(out, out + 32, [](std::uint8_t b) { return b != 0; });
}

} // namespace

std::optional<P256Point> P256KeyFromPem(std::string_view pem) {
    const std::size_t begin = pem.find(kPemBegin);
    if (begin == std::string_view::npos)
        return std::nullopt;
    const std::size_t bodyStart = begin + kPemBegin.size();
    const std::size_t end = pem.find(kPemEnd, bodyStart);
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::optional<std::string> der = DecodeBase64(pem.substr(bodyStart, end - bodyStart));
    if (!der)
        return std::nullopt;
    const std::optional<Element> info = ReadElement(*der);
    if (!info || info->tag != kSequence || !info->rest.empty())
        return std::nullopt;
    const std::optional<Element> algorithm = ReadElement(info->contents);
    if (!algorithm || algorithm->tag != kSequence)
        return std::nullopt;
    const std::optional<Element> type = ReadElement(algorithm->contents);
    if (!type || type->tag != kObjectId || type->contents != kEcPublicKey)
        return std::nullopt;
    const std::optional<Element> curve = ReadElement(type->rest);
    if (!curve || curve->tag != kObjectId || curve->contents != kP256 || !curve->rest.empty())
        return std::nullopt;
    const std::optional<Element> key = ReadElement(algorithm->rest);
    if (!key || key->tag != kBitString || !key->rest.empty())
        return std::nullopt;
    // No unused bits, then the uncompressed point: 04, X, Y.
    if (key->contents.size() != 66 || key->contents[0] != 0 || key->contents[1] != 4)
        return std::nullopt;
    P256Point point{};
    std::copy(key->contents.begin() + 2, key->contents.end(), point.begin());
    return point;
}

std::optional<P256Signature> P256SignatureFromDer(std::string_view der) {
    const std::optional<Element> sequence = ReadElement(der);
    if (!sequence || sequence->tag != kSequence || !sequence->rest.empty())
        return std::nullopt;
    const std::optional<Element> r = ReadElement(sequence->contents);
    if (!r || r->tag != kInteger)
        return std::nullopt;
    const std::optional<Element> s = ReadElement(r->rest);
    if (!s || s->tag != kInteger || !s->rest.empty())
        return std::nullopt;
    P256Signature signature{};
    if (!ReadScalar(r->contents, signature.data()) || !ReadScalar(s->contents, signature.data() + 32)) {
        return std::nullopt;
    }
    return signature;
}

} // namespace zunor
