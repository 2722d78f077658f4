// The run with folders that publish SHA256SUMS: what it fetches first, what it asks each download to
// match, and what it reports when the checksums cannot vouch for a file.
#include <gtest/gtest.h>

#include "tests/unit/run_fakes.h"
#include "install/installation_run.h"
#include "common/texts.h"

namespace zunor::test {
namespace {

const std::string kHex1 = std::string(63, '0') + "1";
const std::string kHex2 = std::string(64, 'f');

std::string CrLfPage(const std::vector<std::string>& names) {
    // nginx's autoindex: CR LF line ends, one link a line.
    std::string page = "<html>\r\n<body>\r\n<pre><a href=\"../\">../</a>\r\n";
    for (const auto& n : names) {
        page += "<a href=\"" + n + "\">" + n + "</a>   01-Mar-2021 12:00   16\r\n";
    }
    return page + "</pre></body>\r\n</html>\r\n";
}

Sha256Digest Digest(const std::string& hex) {
    Sha256Digest d{};
    for (std::size_t i = 0; i < d.size(); ++i) {
        d[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
    return d;
}

class SumsRunTest : public ::testing::Test, public RunFakes {
protected:
    using RunFakes::Run; // not the framework's own Test::Run
    void Serve(std::wstring_view folder, const std::vector<std::string>& names) {
        net.pages[std::wstring(kBase) + std::wstring(folder)] = CrLfPage(names);
    }
    void Sums(std::wstring_view folder, const std::string& text) {
        net.pages[std::wstring(kBase) + std::wstring(folder) + L"/SHA256SUMS"] = text;
    }
    std::size_t Index(std::wstring_view call) const {
        for (std::size_t i = 0; i < rec.calls.size(); ++i) {
            if (rec.calls[i] == call) {
                return i;
            }
        }
        ADD_FAILURE() << "no call " << std::string(call.begin(), call.end());
        return 0;
    }
};

TEST_F(SumsRunTest, ChecksumsAreReadFirstAndEachNamedFileMustMatch) {
    Serve(L"/zunor", {"a.exe", "SHA256SUMS", "SETUP_ZUNOR.rar", "b.exe"});
    Serve(L"/zunor/TEMPLATE", {"t.doc"});
    Serve(L"/zunor/SUPORT", {"SHA256SUMS", "s.dll"});
    // The archive is served but never installed: its line is no unserved file.
    Sums(L"/zunor", kHex1 + "  a.exe\r\n" + kHex2 + "  SETUP_ZUNOR.rar\r\n");
    Sums(L"/zunor/SUPORT", kHex2 + " *s.dll\n");
    const RunOutcome outcome = Run();
    EXPECT_TRUE(outcome.failures.empty());
    // Both SHA256SUMS are read after the listings, before any file, and never installed.
    EXPECT_LT(Index(L"read C:\\I\\zunor2021\\tdown.ini"), Index(L"purge https://srv/zunor/SHA256SUMS"));
    EXPECT_EQ(Index(L"purge https://srv/zunor/SHA256SUMS") + 1, Index(L"fetch https://srv/zunor/SHA256SUMS"));
    EXPECT_LT(Index(L"fetch https://srv/zunor/SUPORT/SHA256SUMS"), Index(L"inside? C:\\I\\zunor2021\\a.exe"));
    EXPECT_EQ(rec.Starting(L"fetch").size(), 2u) << "no fetch for a folder without SHA256SUMS";
    EXPECT_EQ(rec.Starting(L"download"),
              (std::vector<std::wstring>{
                  L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
                  L"download https://srv/zunor/b.exe -> C:\\I\\zunor2021\\b.exe",
                  L"download https://srv/zunor/TEMPLATE/t.doc -> C:\\I\\zunor2021\\TEMPLATE\\t.doc",
                  L"download https://srv/zunor/SUPORT/s.dll -> C:\\W\\S32\\s.dll",
              }));
    EXPECT_EQ(net.checksums[L"https://srv/zunor/a.exe"], Digest(kHex1));
    EXPECT_EQ(net.checksums[L"https://srv/zunor/b.exe"], std::nullopt); // not named: installed as before
    EXPECT_EQ(net.checksums[L"https://srv/zunor/TEMPLATE/t.doc"], std::nullopt);
    EXPECT_EQ(net.checksums[L"https://srv/zunor/SUPORT/s.dll"], Digest(kHex2));
    // Four files in all: the progress counts files, not SHA256SUMS.
    EXPECT_EQ(rec.Starting(L"progress").front(), L"progress 0.25");
}

TEST_F(SumsRunTest, MismatchIsAFailedItemAndAComponentKeepsItsOldCopy) {
    Serve(L"/zunor", {"SHA256SUMS", "a.exe"});
    Serve(L"/zunor/TEMPLATE", {});
    Serve(L"/zunor/SUPORT", {"SHA256SUMS", "s.dll"});
    Sums(L"/zunor", kHex1 + "  a.exe\n");
    Sums(L"/zunor/SUPORT", kHex1 + "  s.dll\n");
    TransferResult mismatch = Ok();
    mismatch.error = TransferError::ChecksumMismatch;
    net.failures[L"https://srv/zunor/a.exe"] = mismatch;
    net.failures[L"https://srv/zunor/SUPORT/s.dll"] = mismatch;
    files.paths.insert(L"C:\\W\\S32\\s.dll");
    const RunOutcome outcome = Run();
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::NotDownloaded, L"a.exe", L"kontrolni zbir se ne poklapa"},
                                    {FailureKind::NotDownloaded, L"s.dll", L"kontrolni zbir se ne poklapa"},
                                }));
    EXPECT_TRUE(rec.Has(L"register C:\\W\\S32\\s.dll")); // the copy already there, as for any failed download
}

TEST_F(SumsRunTest, BadLinesAndUnservedNamesAreItemsAndTheirFilesAreNeverRequested) {
    Serve(L"/zunor", {"a.exe", "b.exe", "SHA256SUMS", "c.exe"});
    Serve(L"/zunor/TEMPLATE", {});
    Serve(L"/zunor/SUPORT", {});
    Sums(L"/zunor",
         kHex1 + "  a.exe\n" + kHex1.substr(3) + "  b.exe\n" + "broken\n" + kHex2 + "  gone.dat\n");
    const RunOutcome outcome = Run();
    EXPECT_EQ(rec.Starting(L"download"),
              (std::vector<std::wstring>{L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
                                         L"download https://srv/zunor/c.exe -> C:\\I\\zunor2021\\c.exe"}));
    EXPECT_FALSE(rec.Has(L"purge https://srv/zunor/b.exe"));
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::NotDownloaded, L"b.exe", texts::kReasonBadSumsLine},
                                    {FailureKind::BadSumsLine, L"https://srv/zunor/SHA256SUMS, red 3", L""},
                                    {FailureKind::NotDownloaded, L"gone.dat", texts::kReasonNotListed},
                                }));
    EXPECT_EQ(FormatItem(outcome.failures[1]),
              L"Neispravan red u SHA256SUMS: https://srv/zunor/SHA256SUMS, red 3");
    EXPECT_EQ(rec.calls.back(), L"message " + FormatReport(outcome.failures));
}

TEST_F(SumsRunTest, UnreadableChecksumsLetNoFileOfTheFolderIn) {
    Serve(L"/zunor", {"a.exe"});
    Serve(L"/zunor/TEMPLATE", {"SHA256SUMS", "t.doc", "u.doc"});
    Serve(L"/zunor/SUPORT", {});
    const RunOutcome outcome = Run(); // the template folder's SHA256SUMS answers 404
    EXPECT_EQ(rec.Starting(L"download"),
              std::vector<std::wstring>{L"download https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe"});
    EXPECT_EQ(outcome.failures, (std::vector<FailedItem>{
                                    {FailureKind::NotDownloaded, L"SHA256SUMS", L"server je vratio 404"},
                                    {FailureKind::NotDownloaded, L"t.doc", texts::kReasonNoSums},
                                    {FailureKind::NotDownloaded, L"u.doc", texts::kReasonNoSums},
                                }));
}

// What SHA256SUMS vouches for and is in place already is kept without a request, counted as done and
// registered like a downloaded component; /REPAIR fetches every file again.
TEST_F(SumsRunTest, FilesInPlaceAsListedAreKeptWithoutARequestUnlessRepairing) {
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"; // "abc"
    Serve(L"/zunor", {"SHA256SUMS", "a.exe", "b.exe", "c.exe"});
    Serve(L"/zunor/TEMPLATE", {});
    Serve(L"/zunor/SUPORT", {"SHA256SUMS", "s.dll"});
    Sums(L"/zunor", abc + "  a.exe\n" + abc + "  b.exe\n"); // c.exe has no digest
    Sums(L"/zunor/SUPORT", abc + "  s.dll\n");
    for (const wchar_t* path : {L"C:\\I\\zunor2021\\a.exe", L"C:\\I\\zunor2021\\b.exe",
                                L"C:\\I\\zunor2021\\c.exe", L"C:\\W\\S32\\s.dll"}) {
        files.paths.insert(path);
        files.contents[path] = std::wstring_view(path).ends_with(L"b.exe") ? "abd" : "abc";
    }
    const RunOutcome outcome = Run();
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_EQ(rec.Starting(L"current"),
              (std::vector<std::wstring>{L"current https://srv/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
                                         L"current https://srv/zunor/SUPORT/s.dll -> C:\\W\\S32\\s.dll"}));
    EXPECT_EQ(rec.Starting(L"download"),
              (std::vector<std::wstring>{L"download https://srv/zunor/b.exe -> C:\\I\\zunor2021\\b.exe",
                                         L"download https://srv/zunor/c.exe -> C:\\I\\zunor2021\\c.exe"}));
    EXPECT_TRUE(rec.Has(L"register C:\\W\\S32\\s.dll"));
    EXPECT_EQ(rec.Starting(L"progress").back(), L"progress 1");
    EXPECT_NE(std::find_if(log.lines.begin(), log.lines.end(),
                           [](const std::wstring& l) { return l.starts_with(L"current: https://srv/zunor/a.exe"); }),
              log.lines.end());
    const auto record = ParseRecord(files.contents.at(L"C:\\PF\\Brantovik\\Uklanjanje\\ukloni.dat"));
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->Has(RecordKind::File, L"C:\\I\\zunor2021\\a.exe"));

    rec.calls.clear();
    EXPECT_TRUE(InstallationRun(window, net, files, sys, reg, log, kBase, true).Execute().failures.empty());
    EXPECT_TRUE(rec.Starting(L"current").empty());
    EXPECT_EQ(rec.Starting(L"download").size(), 4u);
}

// The publisher's signature over each folder's SHA256SUMS, and mirrors that need no trust of their own.
class SignedRunTest : public SumsRunTest {
protected:
    // The fake publisher signs sums by writing "signed:" before them.
    static Publisher Signing(bool required) {
        return {[](std::string_view sums, std::string_view signature) {
                    return signature == "signed:" + std::string(sums);
                },
                required};
    }
    void Signed(std::wstring_view origin, std::wstring_view folder, const std::vector<std::string>& names,
                const std::string& sums) {
        std::vector<std::string> listed = names;
        listed.push_back("SHA256SUMS");
        listed.push_back("SHA256SUMS.sig");
        const std::wstring url = std::wstring(origin) + std::wstring(folder);
        net.pages[url] = CrLfPage(listed);
        net.pages[url + L"/SHA256SUMS"] = sums;
        net.pages[url + L"/SHA256SUMS.sig"] = "signed:" + sums;
    }
    void SignedProduct(std::wstring_view origin) {
        Signed(origin, L"/zunor", {"a.exe", "b.exe"}, kHex1 + "  a.exe\n" + kHex2 + "  b.exe\n");
        Signed(origin, L"/zunor/TEMPLATE", {"t.doc"}, kHex1 + "  t.doc\n");
        Signed(origin, L"/zunor/SUPORT", {"s.dll"}, kHex2 + "  s.dll\n");
    }
    RunOutcome RunFrom(const std::wstring& servers, bool required = false) {
        InstallationRun run(window, net, files, sys, reg, log, servers);
        run.SetPublisher(Signing(required));
        return run.Execute();
    }
    bool Logged(const std::wstring& line) const {
        return std::find(log.lines.begin(), log.lines.end(), line) != log.lines.end();
    }
};

TEST_F(SignedRunTest, VerifiedSumsVouchAndAnyOtherSignatureStopsTheRunBeforeAFileIsPlaced) {
    SignedProduct(kBase);
    EXPECT_TRUE(RunFrom(kBase).failures.empty());
    EXPECT_TRUE(Logged(L"signature: https://srv/zunor/SHA256SUMS: signed by the publisher, verified"));
    EXPECT_EQ(net.checksums[L"https://srv/zunor/b.exe"], Digest(kHex2));
    EXPECT_EQ(rec.Starting(L"download").size(), 4u) << "the signature is read, never installed";

    // Sums recomputed over another file, the signature kept: refused, whichever folder it is.
    net.pages[L"https://srv/zunor/SUPORT/SHA256SUMS"] = kHex1 + "  s.dll\n";
    rec.calls.clear();
    try {
        RunFrom(kBase);
        ADD_FAILURE() << "the run went on";
    } catch (const RunFailure& failure) {
        EXPECT_EQ(failure.description, texts::kSumsNotSigned);
        EXPECT_EQ(failure.detail, texts::kSignatureInvalid);
        EXPECT_EQ(failure.context, L"Adresa: https://srv/zunor/SUPORT/SHA256SUMS");
    }
    EXPECT_TRUE(rec.Starting(L"download").empty());
    EXPECT_TRUE(Logged(std::wstring(L"signature: https://srv/zunor/SUPORT/SHA256SUMS: refused, ") +
                       texts::kSignatureInvalid));

    // Unsigned sums are used as before, unless the build requires signatures.
    Serve(L"/zunor/SUPORT", {"SHA256SUMS", "s.dll"});
    rec.calls.clear();
    EXPECT_TRUE(RunFrom(kBase).failures.empty());
    EXPECT_TRUE(Logged(L"signature: https://srv/zunor/SUPORT/SHA256SUMS: not signed"));
    EXPECT_THROW(RunFrom(kBase, true), RunFailure);
    Serve(L"/zunor/SUPORT", {"s.dll"});
    EXPECT_TRUE(RunFrom(kBase).failures.empty());
    EXPECT_TRUE(Logged(L"signature: https://srv/zunor/SUPORT: no SHA256SUMS, not signed"));
    rec.calls.clear();
    EXPECT_THROW(RunFrom(kBase, true), RunFailure);
    EXPECT_TRUE(rec.Starting(L"download").empty());
}

TEST_F(SignedRunTest, RequiredSignaturesLetInOnlyWhatTheSumsName) {
    SignedProduct(kBase);
    Signed(kBase, L"/zunor", {"a.exe", "b.exe", "extra.exe"}, kHex1 + "  a.exe\n" + kHex2 + "  b.exe\n");
    const RunOutcome outcome = RunFrom(kBase, true);
    EXPECT_EQ(outcome.failures,
              (std::vector<FailedItem>{{FailureKind::NotDownloaded, L"extra.exe", texts::kReasonNotSigned}}));
    EXPECT_TRUE(rec.Starting(L"download https://srv/zunor/extra.exe").empty());
    EXPECT_EQ(rec.Starting(L"download").size(), 4u);
}

TEST_F(SignedRunTest, MirrorsServeWhatTheFirstCannotAndAFailedFileIsAskedOfTheOthers) {
    const std::wstring first = L"https://one", second = L"https://two", third = L"https://three";
    SignedProduct(second);
    SignedProduct(third);
    // The first answers but its support folder's sums are not the publisher's: passed over.
    SignedProduct(first);
    net.pages[first + L"/zunor/SUPORT/SHA256SUMS"] = kHex1 + "  s.dll\n";
    net.failures[second + L"/zunor/a.exe"] = HttpFailure(404);
    net.failures[second + L"/zunor/b.exe"] = HttpFailure(404);
    net.failures[third + L"/zunor/b.exe"] = HttpFailure(404);
    net.failures[first + L"/zunor/b.exe"] = HttpFailure(404);
    const RunOutcome outcome = RunFrom(first + L";" + second + L"/;" + third);
    EXPECT_EQ(outcome.failures,
              (std::vector<FailedItem>{{FailureKind::NotDownloaded, L"b.exe", L"server je vratio 404"}}));
    EXPECT_TRUE(Logged(L"origin: https://one: passed over, " + std::wstring(texts::kSumsNotSigned) + L" " +
                       texts::kSignatureInvalid));
    EXPECT_TRUE(Logged(L"origin: https://two: serves the listings"));
    // The listings' own origin first, then each other once, in order; the one passed over too.
    EXPECT_EQ(rec.Starting(L"download https://"),
              (std::vector<std::wstring>{
                  L"download https://two/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
                  L"download https://one/zunor/a.exe -> C:\\I\\zunor2021\\a.exe",
                  L"download https://two/zunor/b.exe -> C:\\I\\zunor2021\\b.exe",
                  L"download https://one/zunor/b.exe -> C:\\I\\zunor2021\\b.exe",
                  L"download https://three/zunor/b.exe -> C:\\I\\zunor2021\\b.exe",
                  L"download https://two/zunor/TEMPLATE/t.doc -> C:\\I\\zunor2021\\TEMPLATE\\t.doc",
                  L"download https://two/zunor/SUPORT/s.dll -> C:\\W\\S32\\s.dll",
              }));
    // Whatever origin a file comes from, the signed digest decides.
    EXPECT_EQ(net.checksums[L"https://one/zunor/a.exe"], Digest(kHex1));

    // An origin that does not answer is passed over; the last one is read as a single server is.
    net.failures[first + L"/zunor/SUPORT"] = HttpFailure(503);
    log.lines.clear();
    RunFrom(first + L";" + second);
    EXPECT_TRUE(Logged(L"origin: https://one: passed over, https://one/zunor/SUPORT: server je vratio 503"));
}

} // namespace
} // namespace zunor::test
