// The run's steps after the files: the settings (in the short form where the code page needs it),
// the compatibility marks and the shortcuts, each failure an item of the report.
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

} // namespace
} // namespace zunor::test
