// The installation run against recording fakes: the whole order of its calls, the location and the
// folders it checks and makes first, and what it throws.
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
