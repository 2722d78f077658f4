// The run's files: several on their way at once and finished in listing order, the database kept,
// the bar and the status line, and what a failed transfer or registration reports.
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

// On three connections the transfers end in any order; what the user and the log are told of each
// file, and each component's registration, still come in listing order, after the file has ended.
TEST_F(RunTest, SeveralConnectionsEndInAnyOrderAndFinishInListingOrder) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    ServeAll({"a.exe", "firme.mdb", "b.exe", "c.exe"}, {"t.doc"}, {"s1.dll", "s2.dll", "s3.dll"});
    files.paths.insert(L"C:\\I\\zunor2021\\firme.mdb");
    files.outside.insert(L"C:\\I\\zunor2021\\c.exe");
    net.connections = 3;
    net.failures[L"https://srv/zunor/a.exe"] = HttpFailure(404);
    net.failures[L"https://srv/zunor/SUPORT/s2.dll"] = HttpFailure(503);
    sys.unregistrable.insert(L"C:\\W\\S32\\s3.dll");
    net.progress[L"https://srv/zunor/b.exe"] = {{kMiB, 4 * kMiB}, {3 * kMiB, 4 * kMiB}};
    net.progress[L"https://srv/zunor/TEMPLATE/t.doc"] = {{kMiB, 2 * kMiB}};
    std::vector<std::wstring> ended;
    net.endsNext = [&](const std::vector<FakeNetwork::Running>& running) {
        ended.push_back(running.back().url);
        return running.size() - 1; // the newest first
    };
    const RunOutcome outcome = Run();

    EXPECT_EQ(net.mostRunning, 3u);
    EXPECT_EQ(ended.front(), L"https://srv/zunor/TEMPLATE/t.doc")
        << "started ahead of a.exe, ended before it";
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::NotDownloaded, L"a.exe", L"server je vratio 404"},
                                    {FailureKind::BadName, L"c.exe", L""},
                                    {FailureKind::NotDownloaded, L"s2.dll", L"server je vratio 503"},
                                    {FailureKind::NotRegistered, L"s3.dll", L""},
                                }));
    EXPECT_EQ(rec.Starting(L"register"),
              (std::vector<std::wstring>{L"register C:\\W\\S32\\s1.dll", L"register C:\\W\\S32\\s3.dll"}));
    const auto at = [&](std::wstring_view call) {
        return std::find(rec.calls.begin(), rec.calls.end(), call) - rec.calls.begin();
    };
    EXPECT_LT(at(L"download https://srv/zunor/SUPORT/s3.dll -> C:\\W\\S32\\s3.dll"),
              at(L"register C:\\W\\S32\\s1.dll"));
    EXPECT_LT(at(L"status Dovr\u0161avanje instalacije"), at(L"register C:\\W\\S32\\s1.dll"));
    // The bar only moves forward.
    std::vector<std::wstring> fills = rec.Starting(L"progress");
    EXPECT_EQ(fills.back(), L"progress 1");
    EXPECT_TRUE(std::is_sorted(fills.begin(), fills.end())) << "the bar went back";
    EXPECT_TRUE(std::adjacent_find(fills.begin(), fills.end()) == fills.end());
    // Every transfer is in the log, with its result.
    std::size_t transfers = 0;
    for (const auto& line : log.lines) {
        transfers += line.starts_with(L"file: ");
    }
    EXPECT_EQ(transfers, 6u);
    EXPECT_TRUE(std::find(log.lines.begin(), log.lines.end(), L"connections: 3") != log.lines.end());
    EXPECT_TRUE(std::find(log.lines.begin(), log.lines.end(), L"kept: C:\\I\\zunor2021\\firme.mdb") !=
                log.lines.end());
}

// A page may name one file twice (or in two cases, one name on Windows): the second transfer waits
// for the first, so the later entry takes the place last, as one after another; a database the first
// has brought is then kept.
TEST_F(RunTest, AFileNamedTwiceIsFetchedOnceAfterTheOther) {
    ServeAll({"a.exe", "firme.mdb", "b.exe", "A.EXE", "firme.mdb"}, {}, {});
    net.connections = 4;
    net.endsNext = [](const std::vector<FakeNetwork::Running>& running) { return running.size() - 1; };
    Run();
    EXPECT_EQ(
        rec.Starting(L"download"),
        (std::vector<std::wstring>{L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
                                   L"download https://srv/zunor/firme.mdb -> C:\\I\\zunor2021\\firme.mdb",
                                   L"download https://srv/zunor/b.exe -> C:\\I\\zunor2021\\b.exe",
                                   L"download https://srv/zunor/A.EXE -> C:\\I\\zunor2021\\A.EXE"}));
    EXPECT_EQ(rec.Starting(L"file? C:\\I"),
              std::vector<std::wstring>(2, L"file? C:\\I\\zunor2021\\firme.mdb"));
}

// A folder that leads elsewhere (a link or junction someone planted) gets nothing: TEMPLATE's files are
// items of the report and never requested; a program folder that leads elsewhere ends the run.
TEST_F(RunTest, NothingIsPlacedThroughAFolderThatLeadsElsewhere) {
    ServeAll({"a.exe"}, {"t.doc"}, {});
    files.redirected.insert(L"C:\\I\\zunor2021\\TEMPLATE");
    files.redirected.insert(L"C:\\I\\zunor2021\\TEMPLATE\\");
    const RunOutcome outcome = Run();
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::Redirected, L"C:\\I\\zunor2021\\TEMPLATE", L""},
                                    {FailureKind::Redirected, L"C:\\I\\zunor2021\\TEMPLATE\\t.doc", L""},
                                }));
    EXPECT_EQ(rec.Starting(L"download"),
              std::vector<std::wstring>{L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe"});

    files.redirected = {L"C:\\I\\zunor2021"};
    rec.calls.clear();
    const RunFailure failure = RunExpectingFailure();
    EXPECT_EQ(failure.description, texts::kFolderRedirected);
    EXPECT_EQ(failure.context, L"Fascikla: C:\\I\\zunor2021");
    EXPECT_TRUE(rec.Starting(L"listing").empty());
}

TEST_F(RunTest, ExistingDatabaseIsKeptWhateverItsCase) {
    for (const std::string name : {"firme.mdb", "Firme.mdb", "FIRME.MDB"}) {
        Recorder r;
        FakeWindow w{r};
        FakeFiles f{r};
        FakeNetwork n{r, f};
        FakeSystem s{r};
        FakeRegistration g{r, f};
        n.pages[L"https://srv/zunor"] = Page({name, "b.exe"});
        n.pages[L"https://srv/zunor/SUPORT"] = Page({});
        n.pages[L"https://srv/zunor/TEMPLATE"] = Page({});
        const std::wstring wide(name.begin(), name.end());
        f.paths.insert(L"C:\\I\\zunor2021\\" + wide);
        InstallationRun(w, n, f, s, g, log, kBase).Execute();
        EXPECT_TRUE(r.Has(L"purge https://srv/zunor/" + wide));
        EXPECT_TRUE(r.Has(L"file? C:\\I\\zunor2021\\" + wide));
        EXPECT_EQ(r.Starting(L"download"),
                  std::vector<std::wstring>{L"download https://srv/zunor/b.exe -> C:\\I\\zunor2021\\b.exe"})
            << "for " << name;
    }
}

TEST_F(RunTest, AbsentDatabaseIsFetchedAndLookalikesAreOrdinaryFiles) {
    ServeAll({"firme.mdb", "firme.mdb.bak"}, {"firme.mdb"}, {});
    files.paths.insert(L"C:\\I\\zunor2021\\firme.mdb.bak");
    files.paths.insert(L"C:\\I\\zunor2021\\TEMPLATE\\firme.mdb");
    Run();
    EXPECT_EQ(rec.Starting(L"file? C:\\I"), std::vector<std::wstring>{L"file? C:\\I\\zunor2021\\firme.mdb"});
    EXPECT_EQ(rec.Starting(L"download").size(), 3u);
}

TEST_F(RunTest, ProgressIsFullAfterTheLastFileAndEmptyListsMakeNoCalls) {
    ServeAll({"1", "2", "3", "4"}, {}, {});
    Run();
    EXPECT_EQ(rec.Starting(L"progress"), (std::vector<std::wstring>{L"progress 0.25", L"progress 0.5",
                                                                    L"progress 0.75", L"progress 1"}));
    EXPECT_TRUE(rec.Starting(L"purge https://srv/zunor/TEMPLATE/").empty());
    EXPECT_TRUE(rec.Starting(L"purge https://srv/zunor/SUPORT/").empty());
    EXPECT_TRUE(rec.Starting(L"register").empty());
}

TEST_F(RunTest, FillMovesInsideAFileAndTheStatusNamesLargeOnes) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    ServeAll({"a.exe", "big.cab", "c.exe", "d.exe"}, {}, {"s.dll"});
    // Small file: fill only. Large file: fill, name and megabytes. Unknown length: f stays 0. The bar
    // counts the five files of all lists together and never shows the same or a lesser fill twice.
    net.progress[L"https://srv/zunor/a.exe"] = {{0, 1000}, {500, 1000}};
    net.progress[L"https://srv/zunor/big.cab"] = {{0, 4 * kMiB}, {kMiB, 4 * kMiB}, {4 * kMiB, 4 * kMiB}};
    net.progress[L"https://srv/zunor/c.exe"] = {{7000, 0}};
    net.progress[L"https://srv/zunor/SUPORT/s.dll"] = {{3 * kMiB, 6 * kMiB}};
    Run();
    EXPECT_EQ(rec.Starting(L"progress"),
              (std::vector<std::wstring>{L"progress 0.1", L"progress 0.2",  // a.exe
                                         L"progress 0.25", L"progress 0.4", // big.cab
                                         L"progress 0.6",                   // c.exe
                                         L"progress 0.8",                   // d.exe
                                         L"progress 0.9", L"progress 1"})); // s.dll
    const std::wstring downloading = texts::kDownloading;
    const std::wstring finishing = texts::kFinishing;
    std::vector<std::wstring> captions;
    for (const auto& call : rec.Starting(L"status ")) {
        if (call != L"status shown" && call != L"status hidden") {
            captions.push_back(call);
        }
    }
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"status " + downloading,
                                                   L"status " + downloading + L" - big.cab (0,0 od 4,0 MB)",
                                                   L"status " + downloading + L" - big.cab (1,0 od 4,0 MB)",
                                                   L"status " + downloading + L" - big.cab (4,0 od 4,0 MB)",
                                                   L"status " + downloading, // the name goes with the file
                                                   L"status " + finishing,
                                                   L"status " + finishing + L" - s.dll (3,0 od 6,0 MB)",
                                                   L"status " + finishing}));
}

TEST_F(RunTest, LargeFileIsLoggedEveryTenth) {
    constexpr std::uint64_t kTotal = 10 * 1024 * 1024;
    ServeAll({"big.cab", "small.exe"}, {}, {});
    // Reports come when they come: one may pass several tenths at once.
    auto& steps = net.progress[L"https://srv/zunor/big.cab"];
    steps.emplace_back(kTotal / 100 * 35, kTotal);
    for (std::uint64_t received = kTotal / 100 * 35; received < kTotal; received += 64 * 1024) {
        steps.emplace_back(received, kTotal);
    }
    steps.emplace_back(kTotal, kTotal);
    net.progress[L"https://srv/zunor/small.exe"] = {{0, 1024 * 1024}, {1024 * 1024, 1024 * 1024}};
    Run();
    std::vector<std::wstring> tenths;
    for (const auto& line : log.lines) {
        if (line.starts_with(L"progress: ")) {
            tenths.push_back(line.substr(10));
        }
    }
    ASSERT_EQ(tenths.size(), 10u); // a file of exactly 1 MiB is not large
    EXPECT_EQ(tenths.front(), L"big.cab: 10% (1,0 od 10,0 MB)");
    EXPECT_EQ(tenths[1], L"big.cab: 20% (2,0 od 10,0 MB)");
    EXPECT_EQ(tenths[4], L"big.cab: 50% (5,0 od 10,0 MB)");
    EXPECT_EQ(tenths.back(), L"big.cab: 100% (10,0 od 10,0 MB)");
}

TEST_F(RunTest, FailedDownloadIsAnItemAndTheRunGoesOn) {
    ServeAll({"a.exe", "b.exe"}, {}, {});
    net.failures[L"https://srv/zunor/a.exe"] = HttpFailure(404);
    const RunOutcome outcome = Run();
    EXPECT_TRUE(rec.Has(L"download https://srv/zunor/b.exe -> C:\\I\\zunor2021\\b.exe"));
    EXPECT_EQ(outcome.failures,
              (std::vector<FailedItem>{{FailureKind::NotDownloaded, L"a.exe", L"server je vratio 404"}}));
    EXPECT_EQ(rec.calls.back(), L"message " + FormatReport(outcome.failures));
}

TEST_F(RunTest, ComponentIsRegisteredOnlyWhenACopyIsThere) {
    ServeAll({"a.exe"}, {}, {"new.dll", "old.dll", "bad.ocx"});
    net.failures[L"https://srv/zunor/SUPORT/new.dll"] = HttpFailure(404);
    net.failures[L"https://srv/zunor/SUPORT/old.dll"] = HttpFailure(503);
    files.paths.insert(L"C:\\W\\S32\\old.dll");
    sys.unregistrable.insert(L"C:\\W\\S32\\bad.ocx");
    const RunOutcome outcome = Run();
    EXPECT_EQ(rec.Starting(L"register"),
              (std::vector<std::wstring>{L"register C:\\W\\S32\\old.dll", L"register C:\\W\\S32\\bad.ocx"}));
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::NotDownloaded, L"new.dll", L"server je vratio 404"},
                                    {FailureKind::NotDownloaded, L"old.dll", L"server je vratio 503"},
                                    {FailureKind::NotRegistered, L"bad.ocx", L""},
                                }));
}

TEST_F(RunTest, LogNamesEveryRequestWithItsResult) {
    ServeAll({"a.exe"}, {}, {"s.dll"});
    net.failures[L"https://srv/zunor/a.exe"] = HttpFailure(404);
    Run();
    const auto logged = [&](std::wstring_view a, std::wstring_view b) {
        for (const auto& line : log.lines) {
            if (line.find(a) != std::wstring::npos && line.find(b) != std::wstring::npos) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(logged(L"https://srv/zunor/SUPORT -> C:\\I\\zunor2021\\sdown.ini", L"status 200"));
    EXPECT_TRUE(logged(L"https://srv/zunor/a.exe", L"server je vratio 404"));
    EXPECT_TRUE(logged(L"https://srv/zunor/SUPORT/s.dll", L" ms"));
    EXPECT_TRUE(logged(L"register", L"C:\\W\\S32\\s.dll"));
    EXPECT_TRUE(logged(L"layer", L"C:\\I\\zunor2021\\updater.exe"));
    EXPECT_TRUE(logged(L"shortcut", L"ZUNOR.lnk"));
    EXPECT_TRUE(logged(L"report", L"Nije preuzeto: a.exe (server je vratio 404)"));
}

} // namespace
} // namespace zunor::test
