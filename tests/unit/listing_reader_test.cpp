// The run's listings: what stops the run, what an earlier copy stands in for, and which links of a
// page are files, passed over or refused.
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

} // namespace
} // namespace zunor::test
