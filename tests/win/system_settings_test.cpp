// WriteSetting through the system's profile functions into real files.
#include <gtest/gtest.h>

#include "system/setings.h"
#include "system_test_support.h"
#include "common/texts.h"

namespace {

using Setings::IniFilePath;
using Setings::WriteSetting;
using zunor::testing::Exists;
using zunor::testing::ReadBytes;
using zunor::testing::TempFolder;
using zunor::testing::WriteBytes;

std::string Ansi(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { IniFilePath = folder_ / zunor::texts::kSettingsFile; }
    void TearDown() override { IniFilePath.clear(); }
    TempFolder folder_;
};

TEST_F(SettingsTest, NewFileIsAnsiTextWithTheSectionAndKey) {
    const std::wstring programFolder = L"C:\\Program Files\\Brantovik\\zunor2021";
    ASSERT_TRUE(WriteSetting(zunor::texts::kSettingsSection, zunor::texts::kSettingsKey, programFolder));
    const std::string bytes = ReadBytes(IniFilePath);
    // One byte per character: no byte-order mark, no UTF-16 zero bytes.
    EXPECT_EQ(bytes, "[Zunor]\r\nPROGRAM_BAZE_FASCIKLA=C:\\Program Files\\Brantovik\\zunor2021\r\n");
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

TEST_F(SettingsTest, NonAsciiTextIsWrittenInTheAnsiCodePage) {
    const std::wstring value = L"C:\\Knjigovodstvo \u00e9\u00e8\\zunor2021";
    ASSERT_TRUE(WriteSetting(L"Zunor", L"PROGRAM_BAZE_FASCIKLA", value));
    const std::string bytes = ReadBytes(IniFilePath);
    EXPECT_NE(bytes.find("PROGRAM_BAZE_FASCIKLA=" + Ansi(value) + "\r\n"), std::string::npos) << bytes;
    EXPECT_NE(static_cast<unsigned char>(bytes[0]), 0xFFu);
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

TEST_F(SettingsTest, ExistingKeyIsReplacedOnceAndOtherLinesStay) {
    WriteBytes(IniFilePath, "[Other]\r\nbefore=1\r\n"
                            "[Zunor]\r\nPROGRAM_BAZE_FASCIKLA=D:\\old\\zunor2021\r\nKEEP=yes\r\n"
                            "[After]\r\nx=y\r\n");
    ASSERT_TRUE(WriteSetting(L"Zunor", L"PROGRAM_BAZE_FASCIKLA", L"E:\\new\\zunor2021"));
    const std::string bytes = ReadBytes(IniFilePath);
    EXPECT_EQ(Count(bytes, "PROGRAM_BAZE_FASCIKLA="), 1u) << bytes;
    EXPECT_NE(bytes.find("PROGRAM_BAZE_FASCIKLA=E:\\new\\zunor2021\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("D:\\old"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("[Other]\r\nbefore=1\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("KEEP=yes\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("[After]\r\nx=y\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(Count(bytes, "[Zunor]"), 1u) << bytes;
}

TEST_F(SettingsTest, SectionIsAddedToAFileWithoutIt) {
    WriteBytes(IniFilePath, "[Other]\r\nbefore=1\r\n");
    ASSERT_TRUE(WriteSetting(L"Zunor", L"PROGRAM_BAZE_FASCIKLA", L"C:\\z\\zunor2021"));
    const std::string bytes = ReadBytes(IniFilePath);
    EXPECT_NE(bytes.find("[Other]\r\nbefore=1\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("[Zunor]\r\nPROGRAM_BAZE_FASCIKLA=C:\\z\\zunor2021\r\n"), std::string::npos)
        << bytes;
}

// AnsiHolds says beforehand whether the file will keep a value exactly, whatever the code page.
TEST_F(SettingsTest, AnsiHoldsWhatTheFileKeepsExactly) {
    const std::wstring values[] = {L"C:\\Program Files\\a?b", L"C:\\\u00e9\u00e8", L"C:\\\u017Dika",
                                   L"C:\\Ra\u010Dunovodstvo", L"C:\\\u4E2D", L"C:\\\U00010437",
                                   L"C:\\\u0F00"};
    for (const std::wstring& value : values) {
        DeleteFileW(IniFilePath.c_str());
        ASSERT_TRUE(WriteSetting(L"Zunor", L"PROGRAM_BAZE_FASCIKLA", value));
        const std::string bytes = ReadBytes(IniFilePath);
        const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring kept(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), kept.data(), n);
        const bool exact = kept == L"[Zunor]\r\nPROGRAM_BAZE_FASCIKLA=" + value + L"\r\n";
        EXPECT_EQ(Setings::AnsiHolds(value), exact) << "code page " << GetACP() << ", value " << bytes;
    }
    EXPECT_TRUE(Setings::AnsiHolds(values[0]));
    EXPECT_FALSE(Setings::AnsiHolds(values[6])) << "no ANSI code page has Tibetan";
}

TEST_F(SettingsTest, MissingFolderFailsAndCreatesNoFile) {
    IniFilePath = folder_ / L"zunor2021\\config.ini";
    EXPECT_FALSE(WriteSetting(L"Zunor", L"PROGRAM_BAZE_FASCIKLA", L"C:\\x"));
    EXPECT_FALSE(Exists(IniFilePath));
    EXPECT_FALSE(Exists(folder_ / L"zunor2021"));
}

} // namespace
