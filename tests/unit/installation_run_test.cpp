// The installation run against recording fakes: the order of its calls, what it keeps, what it
// reports, and what it throws.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/texts.h"
#include "install/ansi_path.h"
#include "install/installation_run.h"
#include "install/listed_name.h"
#include "install/run_failure.h"
#include "tests/unit/run_fakes.h"

namespace zunor::test {
namespace {

std::string Page(const std::vector<std::string>& names) {
    // Apache's index: LF line ends, so the whole page is one line to the scan.
    std::string page = "<html>\n<body>\n<a href=\"?C=N;O=D\">Name</a>\n<a href=\"/\">Parent Directory</a>\n";
    for (const auto& n : names) {
        page += "<a href=\"" + n + "\">" + n + "</a>\n";
    }
    return page + "</body></html>\n";
}

class RunTest : public ::testing::Test, public RunFakes {
protected:
    using RunFakes::Run; // not the framework's own Test::Run
    void Serve(std::wstring_view folder, const std::vector<std::string>& names) {
        net.pages[std::wstring(kBase) + std::wstring(folder)] = Page(names);
    }
    void ServeAll(const std::vector<std::string>& program, const std::vector<std::string>& templates,
                  const std::vector<std::string>& support) {
        Serve(L"/zunor", program);
        Serve(L"/zunor/TEMPLATE", templates);
        Serve(L"/zunor/SUPORT", support);
    }
    RunFailure RunExpectingFailure() {
        try {
            Run();
        } catch (const RunFailure& failure) {
            return failure;
        }
        ADD_FAILURE() << "the run did not throw";
        return {};
    }
};

TEST_F(RunTest, EmptyLocationOnlyAsksForOne) {
    window.location = L"";
    const RunOutcome outcome = Run();
    EXPECT_FALSE(outcome.started);
    EXPECT_EQ(rec.calls, std::vector<std::wstring>{std::wstring(L"message ") + texts::kNoLocation});
}

// A location Windows cannot use is refused before anything is made; blanks are not empty, but no
// full path either.
TEST_F(RunTest, UnusableLocationIsRefusedBeforeAnythingIsMade) {
    for (const wchar_t* location : {L"  ", L"Programi\\Zunor\\", L"C:\\con\\", L"C:\\a.\\", L"C:\\a \\b\\"}) {
        RunFakes fakes;
        fakes.window.location = location;
        const RunOutcome outcome = fakes.Run();
        EXPECT_FALSE(outcome.started);
        EXPECT_TRUE(outcome.refused);
        const std::wstring message = LocationMessage(location, *CheckLocation(location));
        EXPECT_EQ(fakes.rec.calls, std::vector<std::wstring>{L"message " + message}) << location;
        EXPECT_EQ(fakes.log.lines, std::vector<std::wstring>{L"location: " + message});
    }
}

// "c" with a caron is not in the fakes' code page (Windows-1252), "Z" with one is.
constexpr wchar_t kLacking[] = L"C:\\Ra\u010Dunovodstvo \u017Dika";

TEST_F(RunTest, LocationTheCodePageLacksTakesTheShortFormOfAnExistingFolder) {
    window.location = kLacking + std::wstring(L"\\");
    files.paths.insert(kLacking);
    files.shortPaths[kLacking] = L"C:\\RA_U~0RV";
    ServeAll({"a.exe"}, {}, {});
    const RunOutcome outcome = Run();
    EXPECT_TRUE(outcome.failures.empty());
    const std::wstring program = kLacking + std::wstring(L"\\zunor2021");
    const std::vector<std::wstring> before(rec.calls.begin(), rec.calls.begin() + 4);
    EXPECT_EQ(before, (std::vector<std::wstring>{L"exists? " + std::wstring(kLacking),
                                                 L"short? " + std::wstring(kLacking), L"running? " + program,
                                                 L"caption Zavrsi"}));
    EXPECT_TRUE(rec.Has(L"setting " + program +
                        L"\\config.ini [Zunor] PROGRAM_BAZE_FASCIKLA=C:\\RA_U~0RV\\zunor2021"));
    EXPECT_TRUE(rec.Has(
        L"shortcut C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk -> C:\\RA_U~0RV\\zunor2021\\Zunor2021VK.exe "
        L"in C:\\RA_U~0RV\\zunor2021\\"));
    EXPECT_TRUE(
        rec.Has(L"layer " + program + L"\\updater.exe=~ RUNASADMIN WINXPSP3")); // the registry is Unicode
    const std::wstring note = std::wstring(texts::kShortFormNote) + L"C:\\RA_U~0RV\\zunor2021";
    EXPECT_EQ(rec.calls.back(), L"message " + std::wstring(texts::kSuccess) + L"\r\n\r\n" + note);
    EXPECT_TRUE(std::find(log.lines.begin(), log.lines.end(),
                          L"setting: " + program +
                              L"\\config.ini: ok, PROGRAM_BAZE_FASCIKLA=C:\\RA_U~0RV\\zunor2021 "
                              L"(short form of " +
                              program + L")") != log.lines.end());
    EXPECT_EQ(log.lines.back(), L"report: " + note);
}

TEST_F(RunTest, LocationTheCodePageLacksWithoutAShortFormIsRefused) {
    const std::wstring message = AnsiRefusalMessage(kLacking + std::wstring(L"\\"), sys);
    // The folder is yet to be made, or its volume gives it no short form.
    for (const bool exists : {false, true}) {
        RunFakes fakes;
        fakes.window.location = kLacking + std::wstring(L"\\");
        if (exists) {
            fakes.files.paths.insert(kLacking);
        }
        EXPECT_TRUE(fakes.Run().refused);
        EXPECT_TRUE(fakes.rec.Starting(L"caption").empty());
        EXPECT_TRUE(fakes.rec.Starting(L"mkdir").empty());
        EXPECT_EQ(fakes.rec.calls.back(), L"message " + message);
        ASSERT_EQ(fakes.log.lines.size(), 2u);
        EXPECT_NE(fakes.log.lines[0].find(exists ? L"no short form" : L"does not exist yet"),
                  std::wstring::npos);
    }
}

// Changed during the run to a folder the settings cannot name: nothing is written approximately.
TEST_F(RunTest, LocationChangedToOneTheCodePageLacksWritesNoSetting) {
    ServeAll({"a.exe"}, {}, {});
    window.groupChosen = false;
    int yields = 0;
    window.onYield = [&] {
        if (++yields == 2) {
            window.location = kLacking + std::wstring(L"\\");
        }
    };
    const RunOutcome outcome = Run();
    const std::wstring program = kLacking + std::wstring(L"\\zunor2021");
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::Setting, program + L"\\config.ini", L""},
                                    {FailureKind::Shortcut, L"C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk", L""},
                                }));
    EXPECT_TRUE(rec.Starting(L"setting").empty());
    EXPECT_TRUE(rec.Starting(L"shortcut").empty());
}

// On one connection: each file placed, fetched and finished before the next.
TEST_F(RunTest, ExactSequenceOfOneFilePerList) {
    ServeAll({"a.exe"}, {"t.doc"}, {"s.dll"});
    const RunOutcome outcome = Run();
    EXPECT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.failures.empty());
    const std::vector<std::wstring> expected{
        L"running? C:\\I\\zunor2021",
        L"caption Zavrsi",
        L"exists? C:\\I\\",
        L"mkdir C:\\I\\",
        L"exists? C:\\I\\zunor2021",
        L"mkdir C:\\I\\zunor2021",
        L"exists? C:\\I\\zunor2021\\DATA",
        L"mkdir C:\\I\\zunor2021\\DATA",
        L"exists? C:\\I\\zunor2021\\TEMPLATE",
        L"mkdir C:\\I\\zunor2021\\TEMPLATE",
        L"direct? C:\\I\\",
        L"direct? C:\\I\\zunor2021",
        L"direct? C:\\I\\zunor2021\\DATA",
        L"direct? C:\\I\\zunor2021\\TEMPLATE",
        L"purge https://srv/zunor/SUPORT",
        L"listing https://srv/zunor/SUPORT -> C:\\I\\zunor2021\\sdown.ini",
        L"purge https://srv/zunor",
        L"listing https://srv/zunor -> C:\\I\\zunor2021\\pdown.ini",
        L"purge https://srv/zunor/TEMPLATE",
        L"listing https://srv/zunor/TEMPLATE -> C:\\I\\zunor2021\\tdown.ini",
        L"track shown",
        L"status shown",
        L"status Preuzimanje potrebnih datoteka",
        L"yield",
        L"read C:\\I\\zunor2021\\pdown.ini",
        L"read C:\\I\\zunor2021\\sdown.ini",
        L"read C:\\I\\zunor2021\\tdown.ini",
        L"file? C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat",
        L"read C:\\I\\zunor2021\\ukloni.dat",
        L"leftovers? C:\\I\\zunor2021",
        L"leftovers? C:\\I\\zunor2021\\TEMPLATE",
        L"leftovers? C:\\W\\S32",
        L"purge https://srv/zunor/a.exe",
        L"purge https://srv/zunor/TEMPLATE/t.doc",
        L"purge https://srv/zunor/SUPORT/s.dll",
        L"inside? C:\\I\\zunor2021\\a.exe",
        L"direct? C:\\I\\zunor2021\\",
        L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
        L"progress 0.333333",
        L"inside? C:\\I\\zunor2021\\TEMPLATE\\t.doc",
        L"direct? C:\\I\\zunor2021\\TEMPLATE\\",
        L"download https://srv/zunor/TEMPLATE/t.doc -> C:\\I\\zunor2021\\TEMPLATE\\t.doc",
        L"progress 0.666667",
        L"status Dovr\u0161avanje instalacije",
        L"yield",
        L"inside? C:\\W\\S32\\s.dll",
        L"direct? C:\\W\\S32",
        L"file? C:\\W\\S32\\s.dll",
        L"download https://srv/zunor/SUPORT/s.dll -> C:\\W\\S32\\s.dll",
        L"transfers over",
        L"register C:\\W\\S32\\s.dll",
        L"progress 1",
        L"setting C:\\I\\zunor2021\\config.ini [Zunor] PROGRAM_BAZE_FASCIKLA=C:\\I\\zunor2021",
        L"layer C:\\I\\zunor2021\\Zunor2021VK.exe=~ RUNASADMIN WINXPSP3",
        L"layer C:\\I\\zunor2021\\updater.exe=~ RUNASADMIN WINXPSP3",
        L"shortcut C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk -> C:\\I\\zunor2021\\Zunor2021VK.exe in "
        L"C:\\I\\zunor2021\\",
        L"exists? C:\\PD\\Programs\\Brantovik",
        L"mkdir C:\\PD\\Programs\\Brantovik",
        L"shortcut C:\\PD\\Programs\\Brantovik\\ZUNOR.lnk -> C:\\I\\zunor2021\\Zunor2021VK.exe in "
        L"C:\\I\\zunor2021\\",
        L"disable next",
        L"read layer D:\\Setup\\updater.exe",
        L"read layer D:\\Setup\\Zunor2021VK.exe",
        L"count up C:\\W\\S32\\s.dll",
        L"protect C:\\PF\\Brantovik\\Uklanjanje",
        L"copy setup -> C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe",
        L"write C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat",
        L"entry \"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.exe\" /UNINSTALL",
        L"seal",
        L"track hidden",
        L"status hidden",
        L"message Instalacija programa je uspjesno zavrsena.",
    };
    EXPECT_EQ(rec.calls, expected);
}

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

TEST_F(RunTest, ExistingFoldersAreLeftAlone) {
    files.paths = {L"C:\\I\\", L"C:\\I\\zunor2021", L"C:\\I\\zunor2021\\DATA", L"C:\\I\\zunor2021\\TEMPLATE",
                   L"C:\\PD\\Programs\\Brantovik"};
    ServeAll({"a.exe"}, {}, {});
    Run();
    EXPECT_TRUE(rec.Starting(L"mkdir").empty());
    EXPECT_EQ(rec.Starting(L"exists?").size(), 5u);
}

TEST_F(RunTest, LocationWithoutSeparatorGetsOne) {
    window.location = L"C:\\I";
    ServeAll({"a.exe"}, {}, {});
    Run();
    EXPECT_EQ(rec.Starting(L"mkdir"),
              (std::vector<std::wstring>{L"mkdir C:\\I\\", L"mkdir C:\\I\\zunor2021",
                                         L"mkdir C:\\I\\zunor2021\\DATA", L"mkdir C:\\I\\zunor2021\\TEMPLATE",
                                         L"mkdir C:\\PD\\Programs\\Brantovik"}));
    EXPECT_TRUE(rec.Has(L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe"));
}

TEST_F(RunTest, LocationIsReadAfreshAfterAYield) {
    ServeAll({"a.exe"}, {}, {"s.dll"});
    int yields = 0;
    window.onYield = [&] {
        if (++yields == 2) {
            window.location = L"E:\\New\\"; // typed while the window was responsive
        }
    };
    Run();
    EXPECT_TRUE(
        rec.Has(L"setting E:\\New\\zunor2021\\config.ini [Zunor] PROGRAM_BAZE_FASCIKLA=E:\\New\\zunor2021"));
    EXPECT_TRUE(rec.Has(L"layer E:\\New\\zunor2021\\updater.exe=~ RUNASADMIN WINXPSP3"));
    EXPECT_TRUE(rec.Has(L"read C:\\I\\zunor2021\\tdown.ini"));
}

TEST_F(RunTest, FolderThatCannotBeCreatedStopsTheRun) {
    files.mkdirFails[L"C:\\I\\zunor2021\\DATA"] = 5;
    const RunFailure failure = RunExpectingFailure();
    EXPECT_EQ(failure.number, 5);
    EXPECT_EQ(failure.description, texts::kFolderFailed);
    EXPECT_EQ(failure.context, L"Fascikla: C:\\I\\zunor2021\\DATA");
    EXPECT_TRUE(rec.Starting(L"purge").empty());
    EXPECT_TRUE(rec.Starting(L"message").empty());
}

TEST_F(RunTest, AbsentListingStopsTheRunWithItsUrl) {
    struct Case {
        TransferResult fetched;
        int number;
        std::wstring detail;
    };
    TransferResult lost;
    lost.error = TransferError::ConnectionLost;
    lost.systemError = 12029;
    TransferResult proxy = HttpFailure(407);
    proxy.error = TransferError::ProxyAuthRequired;
    proxy.address = L"proxy.firma.local:3128";
    TransferResult unprotected = HttpFailure(302);
    unprotected.error = TransferError::InsecureRedirect;
    unprotected.address = L"http://srv/zunor/TEMPLATE/";
    const Case cases[] = {
        {HttpFailure(404), 404, L""},
        {lost, 12029, L""},
        {TransferResult{TransferError::Timeout}, 2, L""},
        {proxy, 407, L"Proksi server proxy.firma.local:3128 trazi prijavu (korisnicko ime i lozinku)."},
        {unprotected, 302, L"Server je zahtev preusmerio na nezasticenu adresu: http://srv/zunor/TEMPLATE/"},
    };
    for (const Case& c : cases) {
        Recorder r;
        FakeWindow w{r};
        FakeFiles f{r};
        FakeNetwork n{r, f};
        FakeSystem s{r};
        FakeRegistration g{r, f};
        n.pages[L"https://srv/zunor"] = Page({"a.exe"});
        n.pages[L"https://srv/zunor/SUPORT"] = Page({});
        n.failures[L"https://srv/zunor/TEMPLATE"] = c.fetched;
        try {
            InstallationRun(w, n, f, s, g, log, kBase).Execute();
            ADD_FAILURE() << "no failure for " << c.number;
        } catch (const RunFailure& failure) {
            EXPECT_EQ(failure.number, c.number);
            EXPECT_EQ(failure.description, texts::kListingFailed);
            EXPECT_EQ(failure.context, L"Adresa: https://srv/zunor/TEMPLATE");
            EXPECT_EQ(failure.detail, c.detail);
            // A status of the server is no error of the system: no system text goes with it.
            EXPECT_EQ(failure.systemError, c.fetched.status == 0) << c.number;
        }
        EXPECT_TRUE(r.Starting(L"download").empty()) << "files fetched before all listings were read";
    }
}

// A page of the program folder that arrived but links no file (an error page sent with status 200, a
// format not read, only navigation) ends the run before anything is fetched, and says so.
TEST_F(RunTest, ProgramPageThatLinksNoFileStopsTheRunAndSaysWhy) {
    const std::string pages[] = {
        "<html><body><h1>Usluga trenutno nije dostupna</h1></body></html>",
        Page({}),
        Page({"./", "SUPORT/", "/zunor/SUPORT/a.exe", "SETUP_ZUNOR.rar", "Zunor2021VK.rar"}),
        "<a href=\"https://other/zunor/a.exe\"><a href=\"/zunor/SUPORT/s.dll\">",
    };
    for (const std::string& page : pages) {
        Recorder r;
        FakeWindow w{r};
        FakeFiles f{r};
        FakeNetwork n{r, f};
        FakeSystem s{r};
        FakeRegistration g{r, f};
        n.pages[L"https://srv/zunor"] = page;
        n.pages[L"https://srv/zunor/SUPORT"] = Page({"s.dll"});
        n.pages[L"https://srv/zunor/TEMPLATE"] = Page({});
        try {
            InstallationRun(w, n, f, s, g, log, kBase).Execute();
            ADD_FAILURE() << "no failure for " << page;
        } catch (const RunFailure& failure) {
            EXPECT_EQ(failure.number, 13);
            EXPECT_EQ(failure.description, texts::kNoFileListed);
            EXPECT_EQ(failure.detail,
                      L"Na stranici nema nijedne veze ka datoteci programa (HTTP status 200).");
            EXPECT_EQ(failure.context, L"Adresa: https://srv/zunor");
            EXPECT_FALSE(failure.systemError);
        }
        EXPECT_TRUE(r.Starting(L"download").empty()) << page;
    }
    // Read from an earlier run's copy after the download failed: the failed download is why.
    ServeAll({}, {}, {"s.dll"});
    net.failures[L"https://srv/zunor"] = HttpFailure(503);
    files.contents[L"C:\\I\\zunor2021\\pdown.ini"] = "<html>503</html>";
    const RunFailure failure = RunExpectingFailure();
    EXPECT_EQ(failure.number, 503);
    EXPECT_EQ(failure.description, texts::kListingFailed);
    EXPECT_FALSE(failure.systemError);
}

// IIS and Tomcat link their files by absolute path, IIS in capitals; some servers write the target
// with character references or as a full address.
TEST_F(RunTest, AbsoluteLinksIntoEachFolderAreItsFilesAndOthersArePassedOver) {
    net.pages[L"https://srv/zunor"] =
        "<pre><A HREF=\"/\">[To Parent Directory]</A><br><br> 3/1/2021 12:00 PM &lt;dir&gt; <A "
        "HREF=\"/zunor/SUPORT/\">SUPORT</A><br> 3/1/2021 12:00 PM 12 <A HREF=\"/zunor/a%20b.exe\">a "
        "b.exe</A><br>"
        " <A HREF=\"/zunor/Zunor2021VK.rar\">x</A><br><A HREF=\"https://SRV:443/zunor/c.exe\">c</A><br>"
        "<A HREF=\"/zunor/SUPORT/x.dll\">x</A><br><A HREF=\"https://other/zunor/d.exe\">d</A><br></pre>";
    net.pages[L"https://srv/zunor/SUPORT"] = "<a href=\"&#47;zunor&#47;SUPORT&#47;s.dll\">s.dll</a>";
    net.pages[L"https://srv/zunor/TEMPLATE"] =
        "<a href=\"/zunor/TEMPLATE/t.doc\"><a href=\"/zunor/TEMPLATE/..%2Fu\">";
    const RunOutcome outcome = Run();
    EXPECT_EQ(rec.Starting(L"download"),
              (std::vector<std::wstring>{
                  L"download https://srv/zunor/a%20b.exe -> C:\\I\\zunor2021\\a b.exe",
                  L"download https://srv/zunor/c.exe -> C:\\I\\zunor2021\\c.exe",
                  L"download https://srv/zunor/TEMPLATE/t.doc -> C:\\I\\zunor2021\\TEMPLATE\\t.doc",
                  L"download https://srv/zunor/SUPORT/s.dll -> C:\\W\\S32\\s.dll"}));
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{{FailureKind::BadName, L"..%2Fu", {}}}));
    EXPECT_TRUE(std::any_of(log.lines.begin(), log.lines.end(), [](const std::wstring& line) {
        return line.find(L"pdown.ini: \"/\" \"/zunor/SUPORT/\" \"/zunor/SUPORT/x.dll\" "
                         L"\"https://other/zunor/d.exe\"") != std::wstring::npos;
    }));
}

TEST_F(RunTest, OlderListingIsUsedAndItsFailedDownloadReported) {
    ServeAll({}, {}, {});
    net.failures[L"https://srv/zunor"] = HttpFailure(500);
    files.contents[L"C:\\I\\zunor2021\\pdown.ini"] = Page({"old.exe"});
    const RunOutcome outcome = Run();
    EXPECT_TRUE(rec.Has(L"download https://srv/zunor/old.exe -> C:\\I\\zunor2021\\old.exe"));
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0],
              (FailedItem{FailureKind::NotDownloaded, L"pdown.ini", L"server je vratio 500"}));
    EXPECT_EQ(rec.calls.back(), L"message " + FormatReport(outcome.failures));
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

TEST_F(RunTest, FinishingFailuresAreItemsAndTheRunGoesOn) {
    ServeAll({"a.exe"}, {}, {});
    sys.settingResult = false;
    sys.layerResults[L"C:\\I\\zunor2021\\Zunor2021VK.exe"] = LayerWrite::Failed;
    sys.layerResults[L"C:\\I\\zunor2021\\updater.exe"] = LayerWrite::KeyAbsent;
    sys.failingLinks.insert(L"C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk");
    const RunOutcome outcome = Run();
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::Setting, L"C:\\I\\zunor2021\\config.ini", L""},
                                    {FailureKind::Layer, L"C:\\I\\zunor2021\\Zunor2021VK.exe", L""},
                                    {FailureKind::Shortcut, L"C:\\U\\Desktop\\Brantovik ZUNOR 2021.lnk", L""},
                                }));
    EXPECT_TRUE(
        rec.Has(L"shortcut C:\\PD\\Programs\\Brantovik\\ZUNOR.lnk -> C:\\I\\zunor2021\\Zunor2021VK.exe in "
                L"C:\\I\\zunor2021\\"));
    EXPECT_TRUE(rec.Has(L"disable next"));
    EXPECT_EQ(rec.calls.back(), L"message " + FormatReport(outcome.failures));
}

TEST_F(RunTest, GroupFolderThatCannotBeMadeIsNoItemByItself) {
    ServeAll({"a.exe"}, {}, {});
    files.mkdirFails[L"C:\\PD\\Programs\\Brantovik"] = 5;
    const RunOutcome outcome = Run();
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_TRUE(
        rec.Has(L"shortcut C:\\PD\\Programs\\Brantovik\\ZUNOR.lnk -> C:\\I\\zunor2021\\Zunor2021VK.exe in "
                L"C:\\I\\zunor2021\\"));
}

TEST_F(RunTest, SetupFolderValuesAreWrittenOnlyWhereEmpty) {
    ServeAll({"a.exe"}, {}, {});
    sys.setupFolder = L"D:\\"; // a drive root: the value name doubles the backslash
    sys.layers[L"D:\\\\updater.exe"] = L"";
    sys.layers[L"D:\\\\Zunor2021VK.exe"] = L"HIGHDPIAWARE";
    Run();
    EXPECT_EQ(rec.Starting(L"layer D:"),
              std::vector<std::wstring>{L"layer D:\\\\updater.exe=~ RUNASADMIN WINXPSP3"});

    Recorder r;
    FakeWindow w{r};
    FakeFiles f{r};
    FakeNetwork n{r, f};
    FakeSystem s{r};
    FakeRegistration g{r, f};
    n.pages = net.pages;
    s.layers[L"D:\\Setup\\updater.exe"] = L"";
    s.layerResults[L"D:\\Setup\\updater.exe"] = LayerWrite::Failed;
    const RunOutcome outcome = InstallationRun(w, n, f, s, g, log, kBase).Execute();
    EXPECT_EQ(r.Starting(L"layer D:"),
              std::vector<std::wstring>{L"layer D:\\Setup\\updater.exe=~ RUNASADMIN WINXPSP3"});
    EXPECT_EQ(outcome.failures,
              (std::vector<FailedItem>{{FailureKind::Layer, L"D:\\Setup\\updater.exe", L""}}));
}

TEST_F(RunTest, NoShortcutCallsWhenBothOptionsAreCleared) {
    ServeAll({"a.exe"}, {}, {});
    window.desktopChosen = false;
    window.groupChosen = false;
    Run();
    EXPECT_TRUE(rec.Starting(L"shortcut").empty());
    EXPECT_FALSE(rec.Has(L"exists? C:\\PD\\Programs\\Brantovik"));
    EXPECT_TRUE(rec.Has(L"disable next"));
    EXPECT_EQ(rec.calls.back(), L"message Instalacija programa je uspjesno zavrsena.");
}

TEST_F(RunTest, RefusedNamesAreReportedAndNeverRequested) {
    ServeAll({"..%5Cevil.exe", "ok.exe", "nul.txt"}, {"sub%2Fx.doc"}, {"C:x.dll"});
    files.outside.insert(L"C:\\I\\zunor2021\\ok.exe"); // the last guard refuses it too
    const RunOutcome outcome = Run();
    EXPECT_TRUE(rec.Starting(L"download").empty());
    // The listings, and once with all files the one name that only the last guard refuses.
    EXPECT_EQ(rec.Starting(L"purge").size(), 4u);
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::BadName, L"..%5Cevil.exe", L""},
                                    {FailureKind::BadName, L"nul.txt", L""},
                                    {FailureKind::BadName, L"C:x.dll", L""},
                                    {FailureKind::BadName, L"sub%2Fx.doc", L""},
                                    {FailureKind::BadName, L"ok.exe", L""},
                                }));
}

TEST_F(RunTest, NavigationLinksAreLoggedButNeitherRequestedNorReported) {
    ServeAll({".", "..", "./SUPORT", "template", "#file", "", "https://caddyserver.com", "./a.exe"},
             {"..", "./"}, {"./s.dll"});
    const RunOutcome outcome = Run();
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_EQ(rec.Starting(L"download"),
              (std::vector<std::wstring>{L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
                                         L"download https://srv/zunor/SUPORT/s.dll -> C:\\W\\S32\\s.dll"}));
    std::vector<std::wstring> passedOver;
    for (const std::wstring& line : log.lines) {
        EXPECT_EQ(line.find(L"bad name"), std::wstring::npos) << line;
        if (line.find(L"links passed over") != std::wstring::npos) {
            passedOver.push_back(line);
        }
    }
    ASSERT_EQ(passedOver.size(), 3u);
    EXPECT_NE(passedOver[1].find(L"sdown.ini: \"?C=N;O=D\" \"/\""), std::wstring::npos) << passedOver[1];
    EXPECT_NE(passedOver[0].find(
                  L"pdown.ini: \"?C=N;O=D\" \"/\" \".\" \"..\" \"./SUPORT\" \"template\" \"#file\" \"\" "
                  L"\"https://caddyserver.com\""),
              std::wstring::npos)
        << passedOver[0];
}

TEST_F(RunTest, EscapedNameKeepsItsEscapesInTheUrlOnly) {
    ServeAll({"my%20file&amp;b.txt"}, {}, {"%C4%8Dvor.dll"});
    Run();
    EXPECT_TRUE(rec.Has(L"download https://srv/zunor/my%20file&b.txt -> C:\\I\\zunor2021\\my file&b.txt"));
    EXPECT_TRUE(rec.Has(L"download https://srv/zunor/SUPORT/%C4%8Dvor.dll -> C:\\W\\S32\\\u010Dvor.dll"));
    EXPECT_TRUE(rec.Has(L"register C:\\W\\S32\\\u010Dvor.dll"));
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

TEST_F(RunTest, RunningProductIsClosedFirstOrNothingIsMade) {
    ServeAll({"a.exe"}, {}, {});
    const std::wstring product = L"C:\\I\\zunor2021\\Zunor2021VK.exe";
    sys.running = {{product}};
    const RunOutcome stopped = Run();
    EXPECT_TRUE(stopped.refused);
    EXPECT_EQ(rec.calls, (std::vector<std::wstring>{L"running? C:\\I\\zunor2021",
                                                    std::wstring(L"retry? ") + texts::kProductRunning +
                                                        product + L"\r\n",
                                                    std::wstring(L"message ") + texts::kInstallStopped}));
    rec.calls.clear();
    sys.running = {{product}, {product}};
    window.retries = 2; // closed on the second try
    EXPECT_TRUE(Run().started);
    EXPECT_EQ(rec.Starting(L"retry?").size(), 2u);
    EXPECT_TRUE(rec.Has(L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe"));
}

// A killed run's temporary files go before anything is placed; in the system folder only those of
// listed components, which are the installer's own.
TEST_F(RunTest, LeftoversOfEndedRunsGoBeforeAnythingIsPlaced) {
    ServeAll({"a.exe"}, {}, {"s.dll"});
    files.leftovers[L"C:\\I\\zunor2021"] = {L"C:\\I\\zunor2021\\a.exe.77.zunor-part"};
    files.leftovers[L"C:\\W\\S32"] = {L"C:\\W\\S32\\S.DLL.77.zunor-part",
                                      L"C:\\W\\S32\\other.dll.77.zunor-part"};
    Run();
    const auto first =
        std::find(rec.calls.begin(), rec.calls.end(), L"delete C:\\I\\zunor2021\\a.exe.77.zunor-part");
    const auto download = std::find_if(rec.calls.begin(), rec.calls.end(),
                                       [](const std::wstring& c) { return c.starts_with(L"download"); });
    EXPECT_LT(first, download);
    EXPECT_TRUE(rec.Has(L"delete C:\\W\\S32\\S.DLL.77.zunor-part"));
    EXPECT_FALSE(rec.Has(L"delete C:\\W\\S32\\other.dll.77.zunor-part"));
}

} // namespace
} // namespace zunor::test
