// Conversions between registry data and the variant value that MRegistry hands out.
#include <gtest/gtest.h>

#include "system/registry_value.h"

namespace {

using namespace MRegistry;
using Bytes = std::vector<std::uint8_t>;

Bytes Utf16(const std::wstring& text, int zeros) {
    Bytes out;
    for (wchar_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    out.insert(out.end(), static_cast<size_t>(zeros) * 2, 0);
    return out;
}

Variant Decode(std::uint32_t type, const Bytes& data, const Variant& fallback = {}) {
    return DecodeValue(type, data.data(), data.size(), fallback);
}

TEST(RegistryDecode, TextTypesDropTheirTerminators) {
    EXPECT_EQ(Decode(kRegSz, Utf16(L"C:\\Program Files\\\u0161", 1)),
              Variant(std::wstring(L"C:\\Program Files\\\u0161")));
    EXPECT_EQ(Decode(kRegExpandSz, Utf16(L"%TEMP%\\x", 1)), Variant(std::wstring(L"%TEMP%\\x")));
    EXPECT_EQ(Decode(kRegMultiSz, Utf16(std::wstring(L"a\0bc", 4), 2)), Variant(std::wstring(L"a\0bc", 4)));
    // Only the terminator: empty text, not the fallback.
    EXPECT_EQ(Decode(kRegSz, Utf16(L"", 1), std::wstring(L"f")), Variant(std::wstring()));
}

TEST(RegistryDecode, ShortOrOddTextDataStaysInsideTheBuffer) {
    // Sizes the program never writes; they must still read as some text, without overrunning.
    EXPECT_EQ(Decode(kRegSz, {}), Variant(std::wstring()));
    EXPECT_EQ(Decode(kRegSz, {'a'}), Variant(std::wstring()));
    EXPECT_EQ(Decode(kRegSz, {'a', 0, 'b'}), Variant(std::wstring()));
    EXPECT_EQ(Decode(kRegMultiSz, {0, 0}), Variant(std::wstring()));
    EXPECT_EQ(Decode(kRegSz, Utf16(L"no terminator", 0)), Variant(std::wstring(L"no terminato")));
    EXPECT_EQ(DecodeValue(kRegSz, nullptr, 10, {}), Variant(std::wstring()));
}

TEST(RegistryDecode, DwordIsLittleEndianSigned) {
    EXPECT_EQ(Decode(kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}), Variant(std::int32_t{-1}));
    EXPECT_EQ(Decode(kRegDword, {0x78, 0x56, 0x34, 0x12}), Variant(std::int32_t{0x12345678}));
    EXPECT_EQ(Decode(kRegDword, {1, 2, 3}, std::int16_t{4}), Variant(std::int16_t{4}));
}

TEST(RegistryDecode, BinaryKeepsEveryByteAndOtherTypesGiveTheFallback) {
    EXPECT_EQ(Decode(kRegBinary, {0, 255, 7}), Variant(Bytes{0, 255, 7}));
    EXPECT_EQ(Decode(kRegBinary, {}), Variant(Bytes{}));
    const Variant fallback = std::wstring(L"~ RUNASADMIN WINXPSP3");
    for (std::uint32_t type : {kRegNone, 5u, 6u, 8u, 11u, 0xFFFFFFFFu})
        EXPECT_EQ(Decode(type, {1, 2, 3, 4, 5, 6, 7, 8}, fallback), fallback) << "type " << type;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(Decode(kRegNone, {1})));
}

TEST(RegistryEncode, SupportedKinds) {
    const auto i16 = EncodeValue(std::int16_t{-2});
    ASSERT_TRUE(i16);
    EXPECT_EQ(i16->type, kRegDword);
    EXPECT_EQ(i16->data, (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));

    const auto i32 = EncodeValue(std::int32_t{0x01020304});
    ASSERT_TRUE(i32);
    EXPECT_EQ(i32->type, kRegDword);
    EXPECT_EQ(i32->data, (Bytes{4, 3, 2, 1}));

    const auto text = EncodeValue(std::wstring(L"\u0161x"));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->type, kRegSz);
    EXPECT_EQ(text->data, (Bytes{0x61, 0x01, 'x', 0, 0, 0}));

    const auto bytes = EncodeValue(Bytes{9, 8});
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->type, kRegBinary);
    EXPECT_EQ(bytes->data, (Bytes{9, 8}));
}

TEST(RegistryEncode, TextRoundTripsThroughDecode) {
    const std::wstring text = L"C:\\Program Files\\Brantovik\\zunor2021\\Zunor2021VK.exe";
    const auto encoded = EncodeValue(text);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(Decode(encoded->type, encoded->data), Variant(text));
}

TEST(RegistryEncode, UnsupportedKindsHaveNoForm) {
    EXPECT_FALSE(EncodeValue(Variant()));
    EXPECT_FALSE(EncodeValue(true));
    EXPECT_FALSE(EncodeValue(1.5));
    const UnsupportedValueType error;
    EXPECT_EQ(error.number(), 1001);
    EXPECT_EQ(error.description(), L"Unsupported value type");
}

} // namespace
