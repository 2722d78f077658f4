#include "install/listing_reader.h"

#include <set>
#include <utility>

#include "common/texts.h"
#include "install/install_paths.h"
#include "install/origin_choice.h"
#include "install/record_rules.h"
#include "install/run_failure.h"
#include "install/transfer_log.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

using namespace runlog;

std::size_t Index(ListingKind kind) {
    return static_cast<std::size_t>(kind);
}

// Each distinct target once, quoted, in page order: an icon's "#file" comes with every file.
std::wstring NavigationText(const std::vector<std::string>& targets) {
    std::set<std::string_view> seen;
    std::wstring text;
    for (const std::string& target : targets) {
        if (!seen.insert(target).second) {
            continue;
        }
        text += (text.empty() ? L"\"" : L" \"") + DisplayText(target) + L"\"";
    }
    return text;
}

} // namespace

ListingReader::ListingReader(RunContext& run, const std::vector<std::wstring>& origins,
                             const Publisher& publisher)
    : run_(run), origins_(origins), publisher_(publisher), serverBase_(origins.front()) {}

// With mirrors, an origin that does not answer all three pages, gives a page without files or sums the
// publisher did not sign is passed over; the last one is read as a single server is: its failures stop
// the run, or an earlier copy of a page is read.
void ListingReader::Read() {
    ReadFromFirstOrigin(origins_, run_.log, [this](std::size_t origin) { return ReadOrigin(origin); });
}

// One origin's pages: why it is passed over, or nothing when it serves. What the pages of an origin
// passed over added to the report is taken back.
std::optional<std::wstring> ListingReader::ReadOrigin(std::size_t origin) {
    serverBase_ = origins_[origin];
    FetchListing(ListingKind::Support);
    FetchListing(ListingKind::Program);
    FetchListing(ListingKind::Template);
    if (origin == 0) {
        ShowProgress();
    }
    const bool last = origin + 1 == origins_.size();
    if (!last) {
        if (std::optional<std::wstring> why = ListingsFailed()) {
            return why;
        }
    }
    const std::size_t failuresBefore = run_.failures.size();
    try {
        ReadListing(ListingKind::Program);
        ReadListing(ListingKind::Support);
        ReadListing(ListingKind::Template);
        ReadEarlierRecord();
        for (const ListingKind kind : kRetrievalOrder) {
            LoadChecksums(kind);
        }
    } catch (const RunFailure&) {
        run_.failures.resize(failuresBefore); // what this origin's pages said is not the report's
        throw;
    }
    return std::nullopt;
}

void ListingReader::FetchListing(ListingKind kind) {
    const std::wstring url = ListingUrl(serverBase_, kind);
    run_.network.PurgeUrlCache(url);
    const std::wstring folder = ProgramFolderWithSlash(run_.Location());
    const TransferResult result = run_.network.DownloadListing(url, folder, ListingFileName(kind));
    listingFetches_[Index(kind)] = result;
    if (result.ok()) {
        run_.placed.Add(RecordKind::File, folder + ListingFileName(kind));
    }
    run_.log.Write(kLogListing, DescribeTransfer(url, folder + ListingFileName(kind), result));
}

// Why the pages of the origin just asked cannot all be had from it, or nothing.
std::optional<std::wstring> ListingReader::ListingsFailed() const {
    for (const ListingKind kind : {ListingKind::Support, ListingKind::Program, ListingKind::Template}) {
        const TransferResult& fetched = listingFetches_[Index(kind)];
        if (!fetched.ok()) {
            return ListingUrl(serverBase_, kind) + L": " + ReasonText(fetched);
        }
    }
    return std::nullopt;
}

void ListingReader::ShowProgress() {
    run_.window.SetProgressTrackVisible(true);
    run_.window.SetStatusVisible(true);
    run_.window.SetStatus(texts::kDownloading);
    run_.window.ProcessPendingMessages();
}

// A listing whose download failed is still read from the copy an earlier run left.
void ListingReader::ReadListing(ListingKind kind) {
    const std::wstring path = ProgramFolderWithSlash(run_.Location()) + ListingFileName(kind);
    const std::optional<std::string> page = run_.files.ReadFile(path);
    const TransferResult& fetched = listingFetches_[Index(kind)];
    if (!page) {
        run_.log.Write(kLogListing, path + L": absent");
        throw ListingUnavailable(ListingUrl(serverBase_, kind), fetched);
    }
    if (!fetched.ok()) {
        run_.Fail(FailureKind::NotDownloaded, ListingFileName(kind), ReasonText(fetched));
    }
    FolderPlan& folder = plan_[kind] = PlanFolder(kind, *page, serverBase_);
    run_.log.Write(kLogListing, path + L": " + std::to_wstring(folder.linkedNames) + L" names");
    if (!folder.navigation.empty()) {
        run_.log.Write(kLogNavigation, path + L": " + NavigationText(folder.navigation));
    }
    // The product's own folder is never empty: a page there that links no file of it is an error page
    // sent with status 200 (a proxy's, a full server's) or an index not read, and would otherwise pass
    // for a finished install. An earlier run's copy read after a failed download says that failure.
    if (kind == ListingKind::Program && folder.linkedNames == 0) {
        const std::wstring url = ListingUrl(serverBase_, kind);
        throw fetched.ok() ? NoFileLinked(url, fetched) : ListingUnavailable(url, fetched);
    }
    for (const PlanEntry& entry : folder.entries) {
        if (entry.action == PlanAction::Skip) {
            run_.log.Write(kLogBadName, DisplayText(entry.raw) + L": " + entry.why);
            run_.failures.push_back(entry.failure);
        }
    }
}

// The folder's SHA256SUMS is read into memory before any of its files is fetched.
void ListingReader::LoadChecksums(ListingKind kind) {
    const ChecksumLoad load = zunor::LoadChecksums(
        plan_[kind],
        [this](const std::wstring& url, std::string& body) {
            run_.network.PurgeUrlCache(url);
            return run_.network.FetchText(url, body);
        },
        publisher_);
    if (load.listed) {
        run_.log.Write(kLogChecksums, DescribeTransfer(plan_[kind].Checksums()->url, L"-", load.fetched));
    }
    if (!load.signatureUrl.empty()) {
        run_.log.Write(kLogSignature, DescribeTransfer(load.signatureUrl, L"-", load.signatureFetched));
    }
    const std::wstring where = load.listed ? plan_[kind].Checksums()->url : ListingUrl(serverBase_, kind);
    run_.log.Write(kLogSignature, where + TrustText(load));
    if (load.trust == SumsTrust::Refused) {
        throw SumsRefused(where, load.refusal);
    }
    for (const FailedItem& item : load.failures) {
        run_.log.Write(kLogChecksums, FormatItem(item));
        run_.failures.push_back(item);
    }
}

// An update adds to what earlier runs placed. The record lies in the removal folder (an earlier version
// kept it beside the product, where standard users may write), and this run seals what it writes: so a record
// the entry's seal does not vouch for (an earlier version's has none, or it was changed since) gives only
// what an installation can have made, and of the components only those this run places too, so that no line
// ever makes another program's counted component ours. A record that cannot be read is started anew.
void ListingReader::ReadEarlierRecord() {
    std::wstring path = run_.registration.RemovalFolder() + L"\\" + texts::kRecordFile;
    if (!run_.files.FileExists(path)) {
        path = ProgramFolderWithSlash(run_.Location()) + texts::kRecordFile;
    }
    const std::optional<std::string> text = run_.files.ReadFile(path);
    if (!text) {
        return;
    }
    earlierRecordPath_ = path;
    std::optional<InstallRecord> record = ParseRecord(*text);
    if (!record) {
        run_.log.Write(kLogRecord, path + L": damaged, written anew");
        return;
    }
    const std::optional<RecordSeal> seal = run_.registration.ReadRecordSeal();
    const bool vouched = seal && *seal == SealOf(*text);
    run_.log.Write(kLogRecord, path + (vouched ? L": read"
                                       : seal  ? L": changed after the installation, checked"
                                               : L": no seal (an earlier version's), checked"));
    if (!vouched) {
        const InstallBounds bounds{ProgramFolder(run_.Location()), run_.system.SystemDir(),
                                   run_.system.DesktopDirectory(), run_.system.ProgramGroupFolder(),
                                   run_.registration.RemovalFolder()};
        std::erase_if(record->entries, [&](const RecordEntry& entry) {
            const bool foreign = !InstallCanHaveMade(entry, bounds) ||
                                 (entry.kind == RecordKind::Component && !IsListedComponent(entry.path));
            if (foreign) {
                run_.log.Write(kLogRecord, entry.path + L": left out");
            }
            return foreign;
        });
    }
    earlier_ = std::move(*record);
}

bool ListingReader::IsListedComponent(const std::wstring& path) {
    for (const PlanEntry* entry : plan_[ListingKind::Support].Files()) {
        if (SamePath(PlaceOf(*entry, {}, run_.system.SystemDir()).path, path)) {
            return true;
        }
    }
    return false;
}

} // namespace zunor
