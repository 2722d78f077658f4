// The install record: its text survives the round trip, an update merges into it, and a file that was
// tampered with or damaged is refused whole.
#include <gtest/gtest.h>

#include "common/sha256_plain.h"
#include "install/install_record.h"
#include "install/record_rules.h"

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

// Known digests: empty, one block, the padding spilling into a second block, many blocks.
TEST(InstallRecord, SealIsTheSha256OfTheTextAndItsSize) {
    EXPECT_EQ(HexText(Sha256Of("")), L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexText(Sha256Of("abc")), L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexText(Sha256Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              L"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HexText(Sha256Of(std::string(1000000, 'a'))),
              L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(SealOf("abc"), (RecordSeal{3, L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}));
}

TEST(RecordRules, OnlyWhatAnInstallationMakesWhereItMakesIt) {
    const InstallBounds bounds{L"C:\\Racun\\zunor2021", L"C:\\windows\\system32", L"C:\\U\\Desktop",
                               L"C:\\PD\\Programs\\Brantovik", L"C:\\PF\\Brantovik\\Uklanjanje"};
    const std::vector<std::pair<RecordEntry, bool>> cases{
        {{RecordKind::File, L"C:\\Racun\\zunor2021\\TEMPLATE\\t.doc"}, true},
        {{RecordKind::File, L"c:/racun/ZUNOR2021/a.exe"}, true},
        {{RecordKind::File, L"C:\\Racun\\zunor2021"}, false},
        {{RecordKind::File, L"C:\\Racun\\zunor2021\\..\\..\\windows\\win.ini"}, false},
        {{RecordKind::File, L"C:\\Racun\\zunor2021x\\a.exe"}, false},
        {{RecordKind::File, L"C:\\Racun\\zunor2021\\a.exe:evil"}, false},
        {{RecordKind::File, L"C:\\Racun\\zunor2021\\a.exe."}, false},
        {{RecordKind::File, L"\\\\?\\C:\\Racun\\zunor2021\\a.exe"}, false},
        {{RecordKind::File, L"zunor2021\\a.exe"}, false},
        {{RecordKind::Uninstaller, L"C:\\Racun\\zunor2021\\ukloni.exe"}, true},
        {{RecordKind::Uninstaller, L"C:\\Racun\\zunor2021\\other.exe"}, false},
        {{RecordKind::Uninstaller, L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe"}, true},
        {{RecordKind::Uninstaller, L"C:\\PF\\Brantovik\\ukloni.exe"}, false},
        {{RecordKind::Folder, L"C:\\PF\\Brantovik\\Uklanjanje"}, true},
        {{RecordKind::Folder, L"C:\\PF\\Brantovik"}, false},
        {{RecordKind::Folder, L"C:\\Racun\\"}, true},
        {{RecordKind::Folder, L"C:\\Racun\\zunor2021\\DATA"}, true},
        {{RecordKind::Folder, L"C:\\PD\\Programs\\Brantovik"}, true},
        {{RecordKind::Folder, L"C:\\"}, false},
        {{RecordKind::Folder, L"C:\\PD\\Programs"}, false},
        {{RecordKind::Shortcut, L"C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk"}, true},
        {{RecordKind::Shortcut, L"C:\\PD\\Programs\\Brantovik\\ZUNOR.LNK"}, true},
        {{RecordKind::Shortcut, L"C:\\U\\Desktop\\sub\\x.lnk"}, false},
        {{RecordKind::Shortcut, L"C:\\U\\Desktop\\x.exe"}, false},
        {{RecordKind::Layer, L"C:\\Racun\\zunor2021\\Zunor2021VK.exe"}, true},
        {{RecordKind::Layer, L"C:\\Other\\tool.exe"}, false},
        {{RecordKind::Component, L"C:\\WINDOWS\\System32\\calc.dll"}, true},
        {{RecordKind::Component, L"C:\\windows\\system32\\drivers\\x.sys"}, false},
        {{RecordKind::Component, L"C:\\Racun\\zunor2021\\calc.dll"}, false},
    };
    for (const auto& [entry, made] : cases) {
        EXPECT_EQ(InstallCanHaveMade(entry, bounds), made) << entry.path;
    }
}

} // namespace
} // namespace zunor
