// The run's registration for removal: the record, the uninstall entry and its seal, and the shared
// counts of components, also over an update.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/texts.h"
#include "install/ansi_path.h"
#include "install/installation_run.h"
#include "install/listed_name.h"
#include "install/run_failure.h"
#include "tests/unit/run_test.h"

namespace zunor::test {
namespace {

// The end of a run registers the product for removal: the record names everything it placed, the
// entry runs the copy, and each new component is counted once.
TEST_F(RunTest, RecordAndEntryCoverWhatTheRunPlaced) {
    ServeAll({"Zunor2021VK.exe", "firme.mdb"}, {"t.doc"}, {"s.dll", "old.dll"});
    files.paths.insert(L"C:\\W\\S32\\old.dll"); // another program's copy, not counted by anyone
    files.contents[L"C:\\W\\S32\\s.dll"] = std::string(3000, 'x');
    reg.productVersion = L"2021.4.2";
    const RunOutcome outcome = Run();
    ASSERT_TRUE(outcome.failures.empty());
    EXPECT_EQ(rec.Starting(L"count up"),
              (std::vector<std::wstring>{L"count up C:\\W\\S32\\s.dll",
                                         L"count up C:\\W\\S32\\old.dll (was there)"}));
    const auto record = ParseRecord(files.contents.at(L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat"));
    ASSERT_TRUE(record.has_value());
    const std::vector<std::pair<RecordKind, std::wstring>> expected{
        {RecordKind::Folder, L"C:\\I\\"},
        {RecordKind::Folder, L"C:\\I\\zunor2021"},
        {RecordKind::Folder, L"C:\\I\\zunor2021\\DATA"},
        {RecordKind::Folder, L"C:\\I\\zunor2021\\TEMPLATE"},
        {RecordKind::File, L"C:\\I\\zunor2021\\sdown.ini"},
        {RecordKind::File, L"C:\\I\\zunor2021\\pdown.ini"},
        {RecordKind::File, L"C:\\I\\zunor2021\\tdown.ini"},
        {RecordKind::File, L"C:\\I\\zunor2021\\Zunor2021VK.exe"},
        {RecordKind::Data, L"C:\\I\\zunor2021\\firme.mdb"},
        {RecordKind::File, L"C:\\I\\zunor2021\\TEMPLATE\\t.doc"},
        {RecordKind::Component, L"C:\\W\\S32\\s.dll"},
        {RecordKind::Component, L"C:\\W\\S32\\old.dll"},
        {RecordKind::Setting, L"C:\\I\\zunor2021\\config.ini"},
        {RecordKind::Layer, L"C:\\I\\zunor2021\\Zunor2021VK.exe"},
        {RecordKind::Layer, L"C:\\I\\zunor2021\\updater.exe"},
        {RecordKind::Shortcut, L"C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk"},
        {RecordKind::Folder, L"C:\\PD\\Programs\\Brantovik"},
        {RecordKind::Shortcut, L"C:\\PD\\Programs\\Brantovik\\ZUNOR.lnk"},
        {RecordKind::Folder, L"C:\\PF\\Brantovik\\Uklanjanje"},
        {RecordKind::Uninstaller, L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe"},
    };
    std::vector<std::pair<RecordKind, std::wstring>> got;
    for (const RecordEntry& e : record->entries) {
        got.emplace_back(e.kind, e.path);
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(record->Of(RecordKind::Component)[0].size, 3000u) << "sizes are those on disk";
    ASSERT_TRUE(reg.entry.has_value());
    UninstallEntry entry;
    entry.displayName = L"Zunor 2021";
    entry.publisher = L"Brantovik";
    entry.displayVersion = L"2021.4.2";
    entry.displayIcon = L"C:\\I\\zunor2021\\Zunor2021VK.exe";
    entry.installLocation = L"C:\\I\\zunor2021";
    entry.installDate = L"20261208";
    entry.estimatedSizeKiB = static_cast<std::uint32_t>((record->TotalBytes() + 1023) / 1024);
    entry.uninstallString = L"\"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe\" /UNINSTALL";
    entry.quietUninstallString = L"\"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe\" /UNINSTALL /S";
    EXPECT_EQ(*reg.entry, entry);
    EXPECT_EQ(reg.seal, SealOf(files.contents.at(L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat")));
    // "Zavrsi" may start the product as placed, and only that: the window knows it once it is there.
    const std::wstring product = L"C:\\I\\zunor2021\\Zunor2021VK.exe";
    ASSERT_TRUE(outcome.product.has_value());
    EXPECT_EQ(*outcome.product, (ProductFile{product, *files.FileSize(product), *files.FileSha256(product)}));
    EXPECT_EQ(window.product, outcome.product);
    EXPECT_LT(std::find(rec.calls.begin(), rec.calls.end(), L"product " + product) - rec.calls.begin(),
              std::find(rec.calls.begin(), rec.calls.end(), L"disable next") - rec.calls.begin());
}

// An earlier version kept the copy and the record beside the product: the update moves them to the
// removal folder.
TEST_F(RunTest, UpdateKeepsEarlierEntriesAndCountsNoComponentTwice) {
    InstallRecord earlier;
    earlier.Add(RecordKind::File, L"C:\\I\\zunor2021\\gone.exe", 5);
    earlier.Add(RecordKind::Component, L"C:\\W\\S32\\s.dll", 5);
    earlier.Add(RecordKind::Uninstaller, L"C:\\I\\zunor2021\\ukloni.exe", 5);
    files.contents[L"C:\\I\\zunor2021\\ukloni.dat"] = FormatRecord(earlier);
    files.paths.insert(L"C:\\I\\zunor2021\\ukloni.dat");
    files.paths.insert(L"C:\\I\\zunor2021\\ukloni.exe");
    files.paths.insert(L"C:\\W\\S32\\s.dll");
    reg.counts[L"C:\\W\\S32\\s.dll"] = 1;
    ServeAll({"a.exe"}, {}, {"s.dll"});
    EXPECT_TRUE(Run().failures.empty());
    EXPECT_TRUE(rec.Starting(L"count up").empty());
    EXPECT_EQ(reg.counts.at(L"C:\\W\\S32\\s.dll"), 1u);
    EXPECT_EQ(reg.entry->displayVersion, L"2021.1.0") << "no version resource: the setup program's own";
    const auto record = ParseRecord(files.contents.at(L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat"));
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->Has(RecordKind::File, L"C:\\I\\zunor2021\\gone.exe"));
    EXPECT_TRUE(record->Has(RecordKind::File, L"C:\\I\\zunor2021\\a.exe"));
    EXPECT_EQ(record->Of(RecordKind::Component).size(), 1u);
    EXPECT_EQ(record->Of(RecordKind::Uninstaller),
              (std::vector<RecordEntry>{
                  {RecordKind::Uninstaller, L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe", 1000}}));
    EXPECT_FALSE(files.paths.contains(L"C:\\I\\zunor2021\\ukloni.exe"));
    EXPECT_FALSE(files.paths.contains(L"C:\\I\\zunor2021\\ukloni.dat"));
    EXPECT_LT(std::find(rec.calls.begin(), rec.calls.end(),
                        L"copy setup -> C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe") -
                  rec.calls.begin(),
              std::find(rec.calls.begin(), rec.calls.end(), L"delete C:\\I\\zunor2021\\ukloni.exe") -
                  rec.calls.begin());
}

// An update never vouches for what it did not place: of a record the entry's seal does not vouch for (an
// earlier version's, or one changed since), lines no installation makes are left out, and so are
// components this run does not place.
TEST_F(RunTest, UpdateSealsOnlyWhatInstallationsMake) {
    const std::wstring path = L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat";
    files.paths.insert(path);
    InstallRecord earlier;
    earlier.Add(RecordKind::File, L"C:\\I\\zunor2021\\gone.exe", 5);
    earlier.Add(RecordKind::File, L"C:\\W\\S32\\kernel32.dll", 5);
    earlier.Add(RecordKind::Component, L"C:\\Other\\shared.dll", 5);
    earlier.Add(RecordKind::Component, L"C:\\W\\S32\\s.dll", 5);
    files.contents[path] = FormatRecord(earlier);
    files.paths.insert(L"C:\\W\\S32\\s.dll");
    reg.counts[L"C:\\W\\S32\\s.dll"] = 1;
    ServeAll({"a.exe"}, {}, {"s.dll"});
    EXPECT_TRUE(Run().failures.empty());
    EXPECT_TRUE(rec.Starting(L"count up").empty()) << "counted by the earlier version";
    auto record = ParseRecord(files.contents.at(path));
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->Has(RecordKind::File, L"C:\\I\\zunor2021\\gone.exe"));
    EXPECT_FALSE(record->Has(RecordKind::File, L"C:\\W\\S32\\kernel32.dll"));
    EXPECT_EQ(record->Of(RecordKind::Component).size(), 1u);

    // Changed after the seal: another program's counted component in the system folder.
    files.contents[path] += "component\tC:\\W\\S32\\other.dll\r\nfile\tC:\\W\\S32\\kernel32.dll\r\n";
    EXPECT_TRUE(Run().failures.empty());
    record = ParseRecord(files.contents.at(path));
    ASSERT_TRUE(record.has_value());
    EXPECT_FALSE(record->Has(RecordKind::File, L"C:\\W\\S32\\kernel32.dll"));
    EXPECT_FALSE(record->Has(RecordKind::Component, L"C:\\W\\S32\\other.dll"));
    EXPECT_TRUE(record->Has(RecordKind::File, L"C:\\I\\zunor2021\\gone.exe"));
    EXPECT_EQ(reg.seal, SealOf(files.contents.at(path)));
}

TEST_F(RunTest, RegistrationFailuresAreItems) {
    ServeAll({"a.exe"}, {}, {"s.dll"});
    reg.failingCounts.insert(L"C:\\W\\S32\\s.dll");
    reg.copyWorks = false;
    files.writable = false;
    const RunOutcome outcome = Run();
    EXPECT_EQ(outcome.failures,
              (std::vector<FailedItem>{
                  {FailureKind::SharedCount, L"C:\\W\\S32\\s.dll", L""},
                  {FailureKind::Uninstaller, L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe", L""},
                  {FailureKind::Record, L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat", L""},
                  {FailureKind::UninstallEntry, texts::kUninstallKey, L""},
              }));
    EXPECT_FALSE(reg.entry.has_value()) << "an entry without a copy to run";

    // A removal folder that cannot be made one only administrators write gets neither copy nor record.
    reg.failingCounts.clear();
    reg.copyWorks = true;
    reg.protectWorks = false;
    files.writable = true;
    rec.calls.clear();
    EXPECT_EQ(Run().failures,
              (std::vector<FailedItem>{
                  {FailureKind::Uninstaller, L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe", L""},
                  {FailureKind::Record, L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat", L""},
              }));
    EXPECT_TRUE(rec.Starting(L"copy setup").empty());
    EXPECT_FALSE(reg.entry.has_value());
}

} // namespace
} // namespace zunor::test
