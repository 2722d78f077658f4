#include "system/registry_value.h"

#include "common/texts.h"

namespace MRegistry {

std::wstring UnsupportedValueType::description() const {
    return zunor::texts::kUnsupportedValueType;
}

namespace {

// wchar_t is a UTF-16 unit on Windows; native builds only ever test text inside the BMP.
void AppendUtf16(std::vector<std::uint8_t>& out, const std::wstring& text) {
    for (wchar_t c : text) {
        auto unit = static_cast<std::uint16_t>(c);
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

std::wstring Utf16Units(const std::uint8_t* data, std::size_t units) {
    std::wstring text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i)
        text.push_back(static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8)));
    return text;
}

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

} // namespace

std::optional<EncodedValue> EncodeValue(const Variant& value) {
    EncodedValue out;
    if (auto* i16 = std::get_if<std::int16_t>(&value)) {
        out.type = kRegDword;
        AppendLe32(out.data, static_cast<std::uint32_t>(static_cast<std::int32_t>(*i16)));
    } else if (auto* i32 = std::get_if<std::int32_t>(&value)) {
        out.type = kRegDword;
        AppendLe32(out.data, static_cast<std::uint32_t>(*i32));
    } else if (auto* text = std::get_if<std::wstring>(&value)) {
        out.type = kRegSz;
        AppendUtf16(out.data, *text);
        out.data.push_back(0);
        out.data.push_back(0);
    } else if (auto* bytes = std::get_if<std::vector<std::uint8_t>>(&value)) {
        out.type = kRegBinary;
        out.data = *bytes;
    } else {
        return std::nullopt;
    }
    return out;
}

Variant DecodeValue(std::uint32_t type, const std::uint8_t* data, std::size_t size, const Variant& fallback) {
    if (!data)
        size = 0;
    const std::size_t units = size / 2;
    switch (type) {
    case kRegSz:
    case kRegExpandSz:
        return Utf16Units(data, units > 0 ? units - 1 : 0);
    case kRegMultiSz:
        return Utf16Units(data, units > 1 ? units - 2 : 0);
    case kRegDword:
        if (size < 4)
            return fallback;
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
            static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24);
    case kRegBinary:
        return std::vector<std::uint8_t>(data, data + size);
    default:
        return fallback;
    }
}

} // namespace MRegistry
