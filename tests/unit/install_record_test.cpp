// The install record: its text survives the round trip, an update merges into it, and a file that was
// tampered with or damaged is refused whole.
#include <gtest/gtest.h>

#include "install/install_record.h"

namespace zunor {
namespace {

TEST(InstallRecord, RoundTripKeepsEveryKindPathAndSize) {
    InstallRecord record;
    record.Add(RecordKind::Folder, L"C:\\Ra\u010dunovodstvo \u017dika\\");
    record.Add(RecordKind::File, L"C:\\Ra\u010dunovodstvo \u017dika\\zunor2021\\a.exe", 12345);
    record.Add(RecordKind::Data, L"C:\\P\\zunor2021\\firme.mdb", 7);
    record.Add(RecordKind::Component, L"C:\\windows\\system32\\\U0001F4D2.dll", 4096);
    record.Add(RecordKind::Shortcut, L"C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk", 900);
    record.Add(RecordKind::Setting, L"C:\\P\\zunor2021\\config.ini", 60);
    record.Add(RecordKind::Layer, L"C:\\P\\zunor2021\\updater.exe");
    record.Add(RecordKind::Uninstaller, L"C:\\P\\zunor2021\\ukloni.exe", 99999999999ULL);
    const auto back = ParseRecord(FormatRecord(record));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->entries, record.entries);
    EXPECT_EQ(back->TotalBytes(), 12345u + 7 + 4096 + 900 + 60 + 99999999999ULL);
}

TEST(InstallRecord, MergeAddsNewEntriesAndUpdatesSizesCaseBlind) {
    InstallRecord earlier;
    earlier.Add(RecordKind::File, L"C:\\P\\zunor2021\\old.exe", 10);
    earlier.Add(RecordKind::Component, L"C:\\W\\S32\\x.dll", 20);
    InstallRecord later;
    later.Add(RecordKind::Component, L"c:\\w\\s32\\X.DLL", 25);
    later.Add(RecordKind::File, L"C:\\P\\zunor2021\\new.exe", 30);
    earlier.Merge(later);
    const std::vector<RecordEntry> expected{{RecordKind::File, L"C:\\P\\zunor2021\\old.exe", 10},
                                            {RecordKind::Component, L"C:\\W\\S32\\x.dll", 25},
                                            {RecordKind::File, L"C:\\P\\zunor2021\\new.exe", 30}};
    EXPECT_EQ(earlier.entries, expected);
    EXPECT_TRUE(earlier.Has(RecordKind::Component, L"C:\\W\\S32\\X.dll"));
    EXPECT_FALSE(earlier.Has(RecordKind::File, L"C:\\W\\S32\\x.dll"));
}

TEST(InstallRecord, AnythingItDidNotWriteIsRefused) {
    const std::string header = "Zunor 2021 zapis instalacije 1\r\n";
    EXPECT_TRUE(ParseRecord(header).has_value());
    EXPECT_TRUE(ParseRecord(header + "file\tC:\\a\t5\n\n").has_value());
    for (const std::string& bad : {std::string(), std::string("file\tC:\\a\r\n"), header + "dll\tC:\\a\r\n",
                                  header + "file\t\r\n", header + "file\tC:\\a\t-5\r\n",
                                  header + "file\tC:\\a\t5x\r\n", header + "file\tC:\\a\x01\r\n",
                                  header + "file\tC:\\\xff\xfe\r\n", header + "file C:\\a\r\n",
                                  header + "file\tC:\\a\t99999999999999999999\r\n"}) {
        EXPECT_FALSE(ParseRecord(bad).has_value()) << bad;
    }
}

} // namespace
} // namespace zunor
