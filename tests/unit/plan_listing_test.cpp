// /LIST: the plan printed from listings and SHA256SUMS in memory, with nothing made anywhere.
#include <gtest/gtest.h>

#include "tests/unit/run_fakes.h"
#include "install/plan_listing.h"
#include "install/run_failure.h"
#include "common/texts.h"

namespace zunor::test {
namespace {

std::string Page(const std::vector<std::string>& names) {
    std::string page = "<a href=\"?C=N;O=D\">Name</a>\n<a href=\"/\">Parent</a>\n";
    for (const auto& n : names) {
        page += "<a href=\"" + n + "\">x</a>\n";
    }
    return page;
}

class ListPlanTest : public ::testing::Test {
protected:
    Recorder rec;
    FakeFiles files{rec};
    FakeNetwork net{rec, files};
    FakeSystem sys{rec};
    FakeLog log;
    std::vector<std::wstring> printed;

    PlanTotals List(std::wstring_view location = L"C:\\P\\", bool repair = false) {
        return ListPlan(
            net, files, sys, log, [&](std::wstring_view line) { printed.emplace_back(line); },
            L"https://srv/", location, repair);
    }
};

TEST_F(ListPlanTest, OneLinePerFileWithDestinationAndActionThenTotals) {
    net.pages[L"https://srv/zunor"] =
        Page({"SHA256SUMS", "a.exe", "firme.mdb", "SETUP_ZUNOR.rar", "nul.txt"});
    net.pages[L"https://srv/zunor/SHA256SUMS"] =
        std::string(64, 'a') + "  a.exe\n" + std::string(64, 'b') + "  x.dat\n";
    net.pages[L"https://srv/zunor/TEMPLATE"] = Page({"t%20b.doc", "firme.mdb"});
    net.pages[L"https://srv/zunor/SUPORT"] = Page({"s.dll"});
    files.paths.insert(L"C:\\P\\zunor2021\\firme.mdb");
    const PlanTotals totals = List(L"C:\\P");
    const std::wstring skip = texts::kPlanSkipPrefix;
    EXPECT_EQ(
        printed,
        (std::vector<std::wstring>{
            L"https://srv/zunor/SHA256SUMS\t-\t" + std::wstring(texts::kPlanChecksums),
            L"https://srv/zunor/a.exe\tC:\\P\\zunor2021\\a.exe\t" + std::wstring(texts::kPlanDownloadChecked),
            L"https://srv/zunor/firme.mdb\tC:\\P\\zunor2021\\firme.mdb\t" + std::wstring(texts::kPlanKeep),
            L"https://srv/zunor/nul.txt\t-\t" + skip + texts::kRefusedDeviceName,
            L"https://srv/zunor/x.dat\tC:\\P\\zunor2021\\x.dat\t" + skip + texts::kReasonNotListed,
            L"https://srv/zunor/TEMPLATE/t%20b.doc\tC:\\P\\zunor2021\\TEMPLATE\\t b.doc\t" +
                std::wstring(texts::kPlanDownload),
            L"https://srv/zunor/TEMPLATE/firme.mdb\tC:\\P\\zunor2021\\TEMPLATE\\firme.mdb\t" +
                std::wstring(texts::kPlanDownload),
            L"https://srv/zunor/SUPORT/s.dll\tC:\\W\\S32\\s.dll\t" + std::wstring(texts::kPlanDownload),
            L"Ukupno: 4 za preuzimanje, 1 zadrzano, 2 preskoceno.",
        }));
    EXPECT_EQ(totals.downloads, 4u);
    // Only reads: the pages and SHA256SUMS into memory, and questions about the disk.
    for (const std::wstring& call : rec.calls) {
        EXPECT_TRUE(call.starts_with(L"fetch ") || call.starts_with(L"file? ") ||
                    call.starts_with(L"inside? "))
            << std::string(call.begin(), call.end());
    }
    EXPECT_EQ(rec.Starting(L"fetch"), (std::vector<std::wstring>{
                                          L"fetch https://srv/zunor/SUPORT",
                                          L"fetch https://srv/zunor",
                                          L"fetch https://srv/zunor/TEMPLATE",
                                          L"fetch https://srv/zunor/SHA256SUMS",
                                      }));
    std::size_t planLines = 0;
    for (const std::wstring& line : log.lines) {
        planLines += line.starts_with(L"plan: ") ? 1 : 0;
    }
    EXPECT_EQ(planLines, printed.size());
}

TEST_F(ListPlanTest, AbsentDatabaseAndRefusedPathsAreShownAsTheRunWouldTreatThem) {
    net.pages[L"https://srv/zunor"] = Page({"firme.mdb", "ok.exe"});
    net.pages[L"https://srv/zunor/TEMPLATE"] = Page({});
    net.pages[L"https://srv/zunor/SUPORT"] = Page({});
    files.outside.insert(L"C:\\P\\zunor2021\\ok.exe");
    List();
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_EQ(printed[0], L"https://srv/zunor/firme.mdb\tC:\\P\\zunor2021\\firme.mdb\t" +
                              std::wstring(texts::kPlanDownload));
    EXPECT_EQ(printed[1], L"https://srv/zunor/ok.exe\tC:\\P\\zunor2021\\ok.exe\t" +
                              std::wstring(texts::kPlanSkipPrefix) + texts::kRefusedOutsideFolder);
}

TEST_F(ListPlanTest, ListingThatCannotBeHadEndsWithItsAddressAndPrintsNoPlan) {
    net.pages[L"https://srv/zunor/SUPORT"] = Page({"s.dll"});
    TransferResult lost;
    lost.error = TransferError::ConnectionLost;
    lost.systemError = 12029;
    net.failures[L"https://srv/zunor"] = lost;
    try {
        List();
        ADD_FAILURE() << "no failure";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.number, 12029);
        EXPECT_EQ(failure.description, texts::kListingFailed);
        EXPECT_EQ(failure.context, L"Adresa: https://srv/zunor");
    }
    EXPECT_TRUE(printed.empty());
}

TEST_F(ListPlanTest, ProgramPageThatLinksNoFileEndsAsTheInstallationWould) {
    net.pages[L"https://srv/zunor/SUPORT"] = Page({"s.dll"});
    net.pages[L"https://srv/zunor"] = Page({"SUPORT/", "TEMPLATE/"});
    try {
        List();
        ADD_FAILURE() << "no failure";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.description, texts::kNoFileListed);
        EXPECT_EQ(failure.context, L"Adresa: https://srv/zunor");
    }
    EXPECT_TRUE(printed.empty());
}

// A file in place whose bytes SHA256SUMS vouches for shows as current, one with other bytes comes
// again; /REPAIR fetches both.
TEST_F(ListPlanTest, FilesInPlaceAsListedAreCurrentUnlessRepairing) {
    net.pages[L"https://srv/zunor"] = Page({"SHA256SUMS", "a.exe", "b.exe"});
    net.pages[L"https://srv/zunor/SHA256SUMS"] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  a.exe\n"
                                                "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  b.exe\n";
    net.pages[L"https://srv/zunor/TEMPLATE"] = Page({});
    net.pages[L"https://srv/zunor/SUPORT"] = Page({});
    for (const auto& [path, bytes] : {std::pair<std::wstring, std::string>{L"C:\\P\\zunor2021\\a.exe", "abc"},
                                      {L"C:\\P\\zunor2021\\b.exe", "abd"}}) {
        files.paths.insert(path);
        files.contents[path] = bytes;
    }
    for (const bool repair : {false, true}) {
        printed.clear();
        List(L"C:\\P", repair);
        ASSERT_EQ(printed.size(), 4u);
        EXPECT_EQ(printed[1], L"https://srv/zunor/a.exe\tC:\\P\\zunor2021\\a.exe\t" +
                                  std::wstring(repair ? texts::kPlanDownloadChecked : texts::kPlanCurrent));
        EXPECT_EQ(printed[2], L"https://srv/zunor/b.exe\tC:\\P\\zunor2021\\b.exe\t" +
                                  std::wstring(texts::kPlanDownloadChecked));
        EXPECT_EQ(printed[3], repair ? L"Ukupno: 2 za preuzimanje, 0 zadrzano, 0 preskoceno."
                                     : L"Ukupno: 1 za preuzimanje, 1 zadrzano, 0 preskoceno.");
    }
}

// Mirrors and signatures as the installation has them: the first origin whose sums the publisher signed
// serves the plan, and its addresses are printed.
TEST_F(ListPlanTest, TheFirstOriginWithSignedSumsServesThePlan) {
    const std::string sums = std::string(64, 'a') + "  a.exe\n";
    for (const std::wstring origin : {L"https://one", L"https://two"}) {
        net.pages[origin + L"/zunor"] = Page({"SHA256SUMS", "SHA256SUMS.sig", "a.exe"});
        net.pages[origin + L"/zunor/SHA256SUMS"] = sums;
        net.pages[origin + L"/zunor/TEMPLATE"] = Page({});
        net.pages[origin + L"/zunor/SUPORT"] = Page({});
    }
    net.pages[L"https://one/zunor/SHA256SUMS.sig"] = "someone else's";
    net.pages[L"https://two/zunor/SHA256SUMS.sig"] = "publisher's";
    const Publisher publisher{[](std::string_view, std::string_view signature) { return signature == "publisher's"; },
                              false};
    const auto list = [&](const wchar_t* servers) {
        printed.clear();
        return ListPlan(
            net, files, sys, log, [&](std::wstring_view line) { printed.emplace_back(line); }, servers, L"C:\\P",
            false, publisher);
    };
    EXPECT_EQ(list(L"https://one;https://two").downloads, 1u);
    EXPECT_EQ(printed, (std::vector<std::wstring>{
                           L"https://two/zunor/SHA256SUMS\t-\t" + std::wstring(texts::kPlanChecksums),
                           L"https://two/zunor/SHA256SUMS.sig\t-\t" + std::wstring(texts::kPlanSignature),
                           L"https://two/zunor/a.exe\tC:\\P\\zunor2021\\a.exe\t" +
                               std::wstring(texts::kPlanDownloadChecked),
                           L"Ukupno: 1 za preuzimanje, 0 zadrzano, 0 preskoceno.",
                       }));
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(),
                        L"origin: https://one: passed over, " + std::wstring(texts::kSumsNotSigned) + L" " +
                            texts::kSignatureInvalid),
              log.lines.end());
    EXPECT_THROW(list(L"https://one"), RunFailure);
}

} // namespace
} // namespace zunor::test
