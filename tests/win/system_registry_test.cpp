// MRegistry against Wine's real registry, in a private key under HKCU\Software\ZunorTests.
#include <gtest/gtest.h>

#include <cstring>

#include "system/layer_marks.h"
#include "system/mregistry.h"
#include "common/texts.h"

namespace {

using MRegistry::ReadRegistryValue;
using MRegistry::Variant;
using MRegistry::WriteRegistryValue;
using Bytes = std::vector<std::uint8_t>;

const std::wstring kTestRoot = L"Software\\ZunorTests";

bool KeyExists(const std::wstring& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info->name();
        subkey_ = kTestRoot + L"\\" + std::wstring(name.begin(), name.end());
        RegDeleteTreeW(HKEY_CURRENT_USER, subkey_.c_str());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (key_)
            RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, subkey_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, subkey_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot.c_str()); // only goes when empty
    }

    void SetRaw(const std::wstring& name, DWORD type, const void* data, size_t size) {
        ASSERT_EQ(RegSetValueExW(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }
    void SetText(const std::wstring& name, DWORD type, const std::wstring& text) {
        SetRaw(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    bool ValueExists(const std::wstring& name) {
        return RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
    Variant Read(const std::wstring& name, const Variant& def = {}) {
        return ReadRegistryValue(HKEY_CURRENT_USER, subkey_, name, def);
    }

    std::wstring subkey_;
    HKEY key_ = nullptr;
};

TEST_F(RegistryTest, StringTypesReadAsText) {
    SetText(L"sz", REG_SZ, L"C:\\Program Files\\Brantovik");
    SetText(L"expand", REG_EXPAND_SZ, L"%SystemRoot%\\system32");
    const wchar_t multi[] = L"one\0two\0"; // plus the array's own closing zero
    SetRaw(L"multi", REG_MULTI_SZ, multi, sizeof multi);
    SetText(L"empty", REG_SZ, L"");

    EXPECT_EQ(Read(L"sz"), Variant(std::wstring(L"C:\\Program Files\\Brantovik")));
    EXPECT_EQ(Read(L"expand"), Variant(std::wstring(L"%SystemRoot%\\system32")));
    EXPECT_EQ(Read(L"multi"), Variant(std::wstring(L"one\0two", 7)));
    // Only the terminating zero: empty text, not the default.
    EXPECT_EQ(Read(L"empty", std::wstring(L"default")), Variant(std::wstring()));
}

TEST_F(RegistryTest, DwordAndBinaryRead) {
    const DWORD allOnes = 0xFFFFFFFF;
    const BYTE ordered[] = {0x78, 0x56, 0x34, 0x12};
    const BYTE blob[] = {0, 1, 0x7F, 0x80, 0xFF};
    SetRaw(L"ones", REG_DWORD, &allOnes, sizeof allOnes);
    SetRaw(L"ordered", REG_DWORD, ordered, sizeof ordered);
    SetRaw(L"blob", REG_BINARY, blob, sizeof blob);

    EXPECT_EQ(Read(L"ones"), Variant(std::int32_t{-1}));
    EXPECT_EQ(Read(L"ordered"), Variant(std::int32_t{0x12345678}));
    EXPECT_EQ(Read(L"blob"), Variant(Bytes(std::begin(blob), std::end(blob))));
}

TEST_F(RegistryTest, UnreadTypesAndMissingValuesGiveTheDefault) {
    const BYTE some[] = {1, 2, 3, 4, 5, 6, 7, 8};
    SetRaw(L"none", REG_NONE, some, sizeof some);
    SetRaw(L"qword", REG_QWORD, some, sizeof some);
    SetRaw(L"bigendian", REG_DWORD_BIG_ENDIAN, some, 4);

    const Variant def = std::int16_t{7};
    for (const auto* name : {L"none", L"qword", L"bigendian", L"absent"}) {
        SCOPED_TRACE(testing::Message() << "value " << std::string(name, name + std::wcslen(name)));
        EXPECT_EQ(Read(name, def), def); // same kind, same content
        EXPECT_EQ(Read(name, std::wstring(L"fallback")), Variant(std::wstring(L"fallback")));
        EXPECT_TRUE(std::holds_alternative<std::monostate>(Read(name)));
    }
}

TEST_F(RegistryTest, MissingKeyGivesTheDefaultAndIsNotCreated) {
    const std::wstring missing = subkey_ + L"\\missing";
    EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, missing, L"x", std::wstring(L"d")),
              Variant(std::wstring(L"d")));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadRegistryValue(HKEY_CURRENT_USER, missing, L"x")));
    EXPECT_FALSE(KeyExists(missing));
}

TEST_F(RegistryTest, TextBeyondTheFirstBufferIsReadWhole) {
    std::wstring longText;
    for (int i = 0; i < 1500; ++i)
        longText.push_back(static_cast<wchar_t>(L'a' + i % 26));
    SetText(L"long", REG_SZ, longText);
    EXPECT_EQ(Read(L"long"), Variant(longText));

    // Exactly the first buffer's size, and one unit more.
    const std::wstring fits(1024 / sizeof(wchar_t) - 1, L'x');
    const std::wstring over(1024 / sizeof(wchar_t), L'y');
    SetText(L"fits", REG_SZ, fits);
    SetText(L"over", REG_SZ, over);
    EXPECT_EQ(Read(L"fits"), Variant(fits));
    EXPECT_EQ(Read(L"over"), Variant(over));

    Bytes bigBlob(5000);
    for (size_t i = 0; i < bigBlob.size(); ++i)
        bigBlob[i] = static_cast<std::uint8_t>(i * 7);
    SetRaw(L"bigblob", REG_BINARY, bigBlob.data(), bigBlob.size());
    EXPECT_EQ(Read(L"bigblob"), Variant(bigBlob));
}

TEST_F(RegistryTest, WrittenValuesReadBack) {
    const std::wstring text = L"C:\\Program Files\\Brantovik\\zunor2021\\Dovr\u0161avanje.exe";
    const Bytes bytes = {9, 0, 8, 255};
    ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, subkey_, L"text", text));
    ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, subkey_, L"bytes", bytes));
    ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, subkey_, L"int", std::int32_t{-123456}));
    EXPECT_EQ(Read(L"text"), Variant(text));
    EXPECT_EQ(Read(L"bytes"), Variant(bytes));
    EXPECT_EQ(Read(L"int"), Variant(std::int32_t{-123456}));

    // Writing again replaces.
    ASSERT_TRUE(
        WriteRegistryValue(HKEY_CURRENT_USER, subkey_, L"text", std::wstring(L"~ RUNASADMIN WINXPSP3")));
    EXPECT_EQ(Read(L"text"), Variant(std::wstring(L"~ RUNASADMIN WINXPSP3")));

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key_, L"text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (std::wcslen(L"~ RUNASADMIN WINXPSP3") + 1) * sizeof(wchar_t));
    ASSERT_EQ(RegQueryValueExW(key_, L"bytes", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 4u);
}

TEST_F(RegistryTest, SixteenBitIntegerIsStoredAsAFourByteDword) {
    ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, subkey_, L"short", std::int16_t{-2}));
    DWORD type = 0, data = 0, size = sizeof data;
    ASSERT_EQ(RegQueryValueExW(key_, L"short", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data, 0xFFFFFFFEu);
    EXPECT_EQ(Read(L"short"), Variant(std::int32_t{-2}));
}

TEST_F(RegistryTest, UnsupportedKindsRaise1001AndWriteNothing) {
    for (const Variant& value : {Variant(true), Variant(2.5), Variant()}) {
        SCOPED_TRACE(testing::Message() << "variant index " << value.index());
        try {
            WriteRegistryValue(HKEY_CURRENT_USER, subkey_, L"refused", value);
            ADD_FAILURE() << "no error raised";
        } catch (const MRegistry::UnsupportedValueType& e) {
            EXPECT_EQ(e.number(), 1001);
            EXPECT_EQ(e.description(), L"Unsupported value type");
        }
        EXPECT_FALSE(ValueExists(L"refused"));
    }
}

TEST_F(RegistryTest, WriteUnderMissingKeyFailsAndCreatesNothing) {
    const std::wstring missing = subkey_ + L"\\missing\\deeper";
    EXPECT_FALSE(WriteRegistryValue(HKEY_CURRENT_USER, missing, L"x", std::wstring(L"y")));
    // The key is opened before the kind is looked at: no key, no error.
    EXPECT_FALSE(WriteRegistryValue(HKEY_CURRENT_USER, missing, L"x", Variant(true)));
    EXPECT_FALSE(KeyExists(subkey_ + L"\\missing"));
}

TEST_F(RegistryTest, TextWriteTellsAnAbsentKeyFromAFailure) {
    using zunor::LayerWrite;
    const std::wstring missing = subkey_ + L"\\Layers";
    EXPECT_EQ(MRegistry::WriteTextValueUnder(HKEY_CURRENT_USER, missing, L"C:\\a.exe", L"x"),
              LayerWrite::KeyAbsent);
    EXPECT_FALSE(KeyExists(missing));

    EXPECT_EQ(
        MRegistry::WriteTextValueUnder(HKEY_CURRENT_USER, subkey_, L"C:\\a.exe", L"~ RUNASADMIN WINXPSP3"),
        LayerWrite::Written);
    EXPECT_EQ(Read(L"C:\\a.exe"), Variant(std::wstring(L"~ RUNASADMIN WINXPSP3")));

    // Not a registry root at all: the open fails for another reason than a missing key.
    const HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x12345678));
    EXPECT_EQ(MRegistry::WriteTextValueUnder(bogus, L"Software", L"v", L"x"), LayerWrite::Failed);
}

// The user's real Layers key; whatever was there before is put back.
TEST(LayerMarks, WriteAndReadThroughTheLayersKey) {
    using zunor::LayerWrite;
    const std::wstring layers = zunor::texts::kLayersKey;
    const std::wstring name = L"C:\\ZunorTests\\zunor2021\\Zunor2021VK.exe";
    const std::wstring fallback = zunor::texts::kLayerData;
    const bool existed = KeyExists(layers);
    if (existed)
        RegDeleteKeyValueW(HKEY_CURRENT_USER, layers.c_str(), name.c_str());

    if (!existed) {
        EXPECT_EQ(MRegistry::WriteLayerValue(name, L"x"), LayerWrite::KeyAbsent);
        EXPECT_FALSE(KeyExists(layers));
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, layers.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &created, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(created);
    }

    EXPECT_EQ(MRegistry::ReadLayerValue(name, fallback), fallback); // absent value
    EXPECT_EQ(MRegistry::WriteLayerValue(name, L""), LayerWrite::Written);
    EXPECT_EQ(MRegistry::ReadLayerValue(name, fallback), L""); // present and empty
    EXPECT_EQ(MRegistry::WriteLayerValue(name, fallback), LayerWrite::Written);
    EXPECT_EQ(MRegistry::ReadLayerValue(name, L"other"), fallback);
    // A value that is not text reads as the fallback.
    const DWORD number = 5;
    RegSetKeyValueW(HKEY_CURRENT_USER, layers.c_str(), name.c_str(), REG_DWORD, &number, sizeof number);
    EXPECT_EQ(MRegistry::ReadLayerValue(name, fallback), fallback);

    RegDeleteKeyValueW(HKEY_CURRENT_USER, layers.c_str(), name.c_str());
    if (!existed)
        RegDeleteKeyW(HKEY_CURRENT_USER, layers.c_str());
}

} // namespace
