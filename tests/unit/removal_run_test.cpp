// Removal against recording fakes: what the record names goes, the user's data stays, shared
// components go only with their last user, and a removal that cannot finish keeps what it needs to
// try again.
#include <gtest/gtest.h>

#include "common/texts.h"
#include "install/run_failure.h"
#include "tests/unit/run_fakes.h"

namespace zunor::test {
namespace {

constexpr wchar_t kFolder[] = L"C:\\I\\zunor2021";
constexpr wchar_t kRemovalFolder[] = L"C:\\PF\\Brantovik\\Uklanjanje";
constexpr wchar_t kRecord[] = L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat";
constexpr wchar_t kCopy[] = L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe";
constexpr wchar_t kOwn[] = L"C:\\W\\S32\\own.dll";
constexpr wchar_t kShared[] = L"C:\\W\\S32\\shared.dll";

class RemovalTest : public ::testing::Test, public RunFakes {
protected:
    void SetUp() override {
        InstallRecord record;
        for (const wchar_t* folder :
             {L"C:\\I\\", L"C:\\I\\zunor2021", L"C:\\I\\zunor2021\\DATA", L"C:\\I\\zunor2021\\TEMPLATE",
              L"C:\\PD\\Programs\\Brantovik", kRemovalFolder}) {
            record.Add(RecordKind::Folder, folder);
            files.paths.insert(folder);
        }
        Place(record, RecordKind::File, L"C:\\I\\zunor2021\\Zunor2021VK.exe");
        Place(record, RecordKind::File, L"C:\\I\\zunor2021\\TEMPLATE\\t.doc");
        Place(record, RecordKind::Data, L"C:\\I\\zunor2021\\firme.mdb");
        Place(record, RecordKind::Component, kOwn);
        Place(record, RecordKind::Component, kShared);
        Place(record, RecordKind::Setting, L"C:\\I\\zunor2021\\config.ini");
        Place(record, RecordKind::Shortcut, L"C:\\PD\\Programs\\Brantovik\\ZUNOR.lnk");
        Place(record, RecordKind::Uninstaller, kCopy);
        record.Add(RecordKind::Layer, L"C:\\I\\zunor2021\\Zunor2021VK.exe");
        record.Add(RecordKind::Layer, L"C:\\I\\zunor2021\\updater.exe");
        sys.layers[L"C:\\I\\zunor2021\\Zunor2021VK.exe"] = texts::kLayerData;
        sys.layers[L"C:\\I\\zunor2021\\updater.exe"] = L"~ HIGHDPIAWARE"; // the user's since
        reg.counts[kOwn] = 1;
        reg.counts[kShared] = 2; // another program counts on it too
        reg.entry = UninstallEntry{};
        files.contents[kRecord] = FormatRecord(record);
        files.paths.insert(kRecord);
        files.notEmpty.insert(L"C:\\I\\zunor2021"); // firme.mdb is still in it
    }
    void Place(InstallRecord& record, RecordKind kind, const std::wstring& path) {
        record.Add(kind, path, 10);
        files.paths.insert(path);
    }
};

TEST_F(RemovalTest, RecordedItemsGoAndTheUserDataStays) {
    const RemovalOutcome outcome = Remove(kFolder, [&](const std::vector<FailedItem>& failures) {
        rec.Add(L"release copy");
        EXPECT_TRUE(failures.empty());
    });
    EXPECT_EQ(outcome.end, RemovalOutcome::End::Removed);
    EXPECT_TRUE(outcome.failures.empty());
    const std::vector<std::wstring> expected{
        L"delete C:\\PD\\Programs\\Brantovik\\ZUNOR.lnk",
        L"delete layer C:\\I\\zunor2021\\Zunor2021VK.exe",
        L"delete C:\\I\\zunor2021\\Zunor2021VK.exe",
        L"delete C:\\I\\zunor2021\\TEMPLATE\\t.doc",
        L"delete C:\\I\\zunor2021\\config.ini",
        L"count down C:\\W\\S32\\own.dll",
        L"unregister C:\\W\\S32\\own.dll",
        L"delete C:\\W\\S32\\own.dll",
        L"count down C:\\W\\S32\\shared.dll",
        L"delete entry",
        L"delete C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat",
        L"release copy",
        L"delete C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe",
        L"rmdir C:\\PF\\Brantovik\\Uklanjanje",
        L"rmdir C:\\PD\\Programs\\Brantovik",
        L"rmdir C:\\I\\zunor2021\\TEMPLATE",
        L"rmdir C:\\I\\zunor2021\\DATA",
        L"rmdir C:\\I\\zunor2021",
        L"rmdir C:\\I\\",
    };
    std::vector<std::wstring> changes;
    for (const std::wstring& call : rec.calls) {
        if (call.starts_with(L"delete") || call.starts_with(L"count") || call.starts_with(L"unregister") ||
            call.starts_with(L"rmdir") || call.starts_with(L"release")) {
            changes.push_back(call);
        }
    }
    EXPECT_EQ(changes, expected);
    EXPECT_TRUE(files.paths.contains(L"C:\\I\\zunor2021\\firme.mdb"));
    EXPECT_TRUE(files.paths.contains(kShared));
    EXPECT_EQ(reg.counts.at(kShared), 1u);
    EXPECT_FALSE(reg.counts.contains(kOwn));
    EXPECT_TRUE(sys.layers.contains(L"C:\\I\\zunor2021\\updater.exe"));
    EXPECT_EQ(rec.calls.at(2), std::wstring(L"confirm ") + texts::kRemoveQuestion);
    EXPECT_EQ(rec.calls.back(),
              std::wstring(L"message ") + texts::kRemoveDone + L"\r\n\r\n" + texts::kRemoveKeptIn + kFolder);
}

TEST_F(RemovalTest, NothingIsChangedWithoutAYesOrWhileTheProductRuns) {
    files.contents.erase(kRecord);
    files.paths.erase(kRecord);
    reg.entry.reset();
    EXPECT_EQ(Remove().end, RemovalOutcome::End::NothingToRemove);
    // Without a record in the removal folder, an earlier version's beside the product is looked for.
    EXPECT_EQ(rec.calls, (std::vector<std::wstring>{std::wstring(L"file? ") + kRecord,
                                                    std::wstring(L"read ") + kFolder + L"\\ukloni.dat",
                                                    std::wstring(L"message ") + texts::kRemoveNothing}));
    const std::wstring read = std::wstring(L"read ") + kRecord;

    SetUp();
    rec.calls.clear();
    dialog.yes = false;
    EXPECT_EQ(Remove().end, RemovalOutcome::End::Stopped);
    EXPECT_EQ(rec.calls, (std::vector<std::wstring>{std::wstring(L"file? ") + kRecord, read,
                                                    std::wstring(L"confirm ") + texts::kRemoveQuestion}));

    rec.calls.clear();
    dialog.yes = true;
    sys.running = {{L"C:\\I\\zunor2021\\Zunor2021VK.exe", kCopy}, {L"C:\\I\\zunor2021\\Zunor2021VK.exe"}};
    dialog.retries = 1;
    EXPECT_EQ(Remove().end, RemovalOutcome::End::Stopped);
    EXPECT_EQ(rec.Starting(L"retry?").size(), 2u);
    EXPECT_NE(rec.Starting(L"retry?")[0].find(L"Zunor2021VK.exe"), std::wstring::npos);
    EXPECT_EQ(rec.Starting(L"retry?")[0].find(L"ukloni.exe"), std::wstring::npos)
        << "the copy runs the removal";
    EXPECT_EQ(rec.calls.back(), std::wstring(L"message ") + texts::kRemoveStopped);
    EXPECT_TRUE(rec.Starting(L"delete").empty());
    EXPECT_TRUE(rec.Starting(L"count").empty());

    rec.calls.clear();
    sys.running = {{L"C:\\I\\zunor2021\\Zunor2021VK.exe"}, {kCopy}};
    dialog.retries = 1; // closed, then "retry"
    EXPECT_EQ(Remove().end, RemovalOutcome::End::Removed);
}

TEST_F(RemovalTest, WhatCannotGoIsReportedAndKeptForAnotherTry) {
    files.removals[L"C:\\I\\zunor2021\\Zunor2021VK.exe"] = RunFiles::Removal::InUse;
    files.removals[kOwn] = RunFiles::Removal::InUse;
    bool released = false;
    const RemovalOutcome outcome = Remove(kFolder, [&](const std::vector<FailedItem>&) { released = true; });
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::NotRemoved, L"C:\\I\\zunor2021\\Zunor2021VK.exe", L""},
                                    {FailureKind::RemovedAtRestart, kOwn, L""},
                                }));
    EXPECT_TRUE(rec.Has(L"delete at restart C:\\W\\S32\\own.dll"));
    EXPECT_FALSE(released);
    EXPECT_TRUE(reg.entry.has_value()) << "the entry stays for another try";
    EXPECT_FALSE(rec.Has(L"delete C:\\I\\zunor2021\\ukloni.exe"));
    EXPECT_TRUE(rec.Starting(L"rmdir").empty());
    const auto left = ParseRecord(files.contents.at(kRecord));
    ASSERT_TRUE(left.has_value());
    EXPECT_TRUE(left->Has(RecordKind::File, L"C:\\I\\zunor2021\\Zunor2021VK.exe"));
    EXPECT_FALSE(left->Has(RecordKind::File, L"C:\\I\\zunor2021\\TEMPLATE\\t.doc"));
    EXPECT_TRUE(left->Of(RecordKind::Component).empty()) << "its count was given back already";
    EXPECT_TRUE(left->Has(RecordKind::Uninstaller, kCopy));
    EXPECT_EQ(left->Of(RecordKind::Folder).size(), 6u);
    EXPECT_NE(rec.calls.back().find(texts::kRemoveIncompleteHeader), std::wstring::npos);
    EXPECT_EQ(reg.seal, SealOf(files.contents.at(kRecord))) << "the entry vouches for what stayed";
}

// A record the entry's seal does not vouch for (changed since the installation), and one that cannot
// be read, stop the removal before anything is asked or changed.
TEST_F(RemovalTest, EditedOrDamagedRecordStopsBeforeAnyChange) {
    reg.seal = SealOf(files.contents.at(kRecord));
    for (const auto& [added, description] :
         {std::pair<std::string, const wchar_t*>{"file\tC:\\W\\S32\\kernel32.dll\r\n", texts::kRecordChanged},
          {"dll\tC:\\x\r\n", texts::kRecordDamaged}}) {
        SCOPED_TRACE(added);
        files.contents[kRecord] += added;
        if (description == texts::kRecordDamaged) {
            reg.seal = SealOf(files.contents.at(kRecord));
        }
        rec.calls.clear();
        try {
            Remove();
            ADD_FAILURE() << "no failure";
        } catch (const RunFailure& failure) {
            EXPECT_EQ(failure.description, description);
            EXPECT_EQ(failure.context, std::wstring(L"Datoteka: ") + kRecord);
        }
        EXPECT_EQ(rec.calls, (std::vector<std::wstring>{std::wstring(L"file? ") + kRecord,
                                                        std::wstring(L"read ") + kRecord}));
    }
}

// Without a seal (an earlier version wrote the record), lines that no installation makes are reported
// and never touched; so is a path that leads elsewhere on disk than it says.
TEST_F(RemovalTest, LinesNoInstallationMakesAreNeverTouched) {
    const std::vector<RecordEntry> foreign{
        {RecordKind::File, L"C:\\W\\S32\\kernel32.dll", 0},
        {RecordKind::File, L"C:\\I\\zunor2021\\..\\..\\W\\win.ini", 0},
        {RecordKind::File, L"C:\\I\\zunor2021-old\\a.exe", 0},
        {RecordKind::Setting, L"C:\\I\\zunor2021\\config.ini:stream", 0},
        {RecordKind::Data, L"D:\\Other\\firme.mdb", 0},
        {RecordKind::Folder, L"C:\\U\\Documents", 0},
        {RecordKind::Shortcut, L"C:\\U\\Documents\\Report.lnk", 0},
        {RecordKind::Shortcut, L"C:\\U\\Desktop\\notes.txt", 0},
        {RecordKind::Layer, L"C:\\Other\\tool.exe", 0},
        {RecordKind::Component, L"C:\\Other\\other.dll", 0},
        {RecordKind::Component, L"C:\\W\\S32\\uncounted.dll", 0},
        {RecordKind::Uninstaller, L"C:\\Other\\ukloni.exe", 0},
    };
    auto record = ParseRecord(files.contents.at(kRecord));
    ASSERT_TRUE(record.has_value());
    for (const RecordEntry& entry : foreign) {
        record->Add(entry.kind, entry.path);
        files.paths.insert(entry.path);
    }
    files.contents[kRecord] = FormatRecord(*record);
    files.removals[L"C:\\I\\zunor2021\\config.ini"] = RunFiles::Removal::Redirected;
    const RemovalOutcome outcome = Remove();
    EXPECT_EQ(outcome.end, RemovalOutcome::End::Removed);
    std::vector<FailedItem> expected;
    for (const RecordEntry& entry : foreign) {
        if (entry.path != L"C:\\W\\S32\\uncounted.dll") {
            expected.push_back({FailureKind::NotOfInstallation, entry.path, L""});
        }
    }
    expected.push_back({FailureKind::NotOfInstallation, L"C:\\I\\zunor2021\\config.ini", L""});
    expected.push_back({FailureKind::NotOfInstallation, L"C:\\W\\S32\\uncounted.dll", L""});
    EXPECT_EQ(outcome.failures, expected);
    for (const RecordEntry& entry : foreign) {
        EXPECT_TRUE(files.paths.contains(entry.path)) << entry.path;
        EXPECT_FALSE(rec.Has(L"unregister " + entry.path)) << entry.path;
    }
    EXPECT_FALSE(rec.Has(L"delete layer C:\\Other\\tool.exe"));
    EXPECT_FALSE(reg.entry.has_value()) << "what was never the installation's does not hold the removal up";
    EXPECT_FALSE(files.paths.contains(L"C:\\I\\zunor2021\\Zunor2021VK.exe"));
}

} // namespace
} // namespace zunor::test
