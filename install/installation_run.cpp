#include "install/installation_run.h"

#include <algorithm>
#include <set>
#include <utility>

#include "common/sha256_plain.h"
#include "common/texts.h"
#include "install/ansi_path.h"
#include "install/install_paths.h"
#include "install/listed_name.h"
#include "install/record_rules.h"
#include "install/run_failure.h"
#include "install/transfer_log.h"
#include "install/transfer_progress.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

// Log step names.
constexpr wchar_t kLogLocation[] = L"location";
constexpr wchar_t kLogFolder[] = L"folder";
constexpr wchar_t kLogListing[] = L"listing";
constexpr wchar_t kLogBadName[] = L"bad name";
constexpr wchar_t kLogNavigation[] = L"links passed over";
constexpr wchar_t kLogChecksums[] = L"checksums";
constexpr wchar_t kLogSignature[] = L"signature";
constexpr wchar_t kLogOrigin[] = L"origin";
constexpr wchar_t kLogFile[] = L"file";
constexpr wchar_t kLogCurrent[] = L"current"; // in place already, as SHA256SUMS has it: not requested
constexpr wchar_t kLogKept[] = L"kept";
constexpr wchar_t kLogRegister[] = L"register";
constexpr wchar_t kLogSetting[] = L"setting";
constexpr wchar_t kLogLayer[] = L"layer";
constexpr wchar_t kLogShortcut[] = L"shortcut";
constexpr wchar_t kLogReport[] = L"report";
constexpr wchar_t kLogProgress[] = L"progress";
constexpr wchar_t kLogConnections[] = L"connections";
constexpr wchar_t kLogRecord[] = L"record";
constexpr wchar_t kLogRunning[] = L"running";
constexpr wchar_t kLogLeftover[] = L"leftover";
constexpr wchar_t kLogShared[] = L"shared";
constexpr wchar_t kLogUninstaller[] = L"uninstaller";
constexpr wchar_t kLogEntry[] = L"entry";
constexpr wchar_t kLogRedirected[] = L"redirected"; // a folder that leads elsewhere: nothing placed in it
constexpr wchar_t kLogProduct[] = L"product";
// ERROR_REPARSE_POINT_ENCOUNTERED: a folder on the way is a link or junction.
constexpr int kErrorRedirected = 4395;

std::size_t Index(ListingKind kind) {
    return static_cast<std::size_t>(kind);
}

const wchar_t* Result(bool ok) {
    return ok ? L"ok" : L"failed";
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

InstallationRun::InstallationRun(RunWindow& window, RunNetwork& network, RunFiles& files, RunSystem& system,
                                 RunRegistration& registration, RunLog& log, std::wstring serverBase, bool repair)
    : window_(window), network_(network), files_(files), system_(system), registration_(registration), log_(log),
      origins_(SplitOrigins(serverBase)), repair_(repair) {
    serverBase_ = origins_.front();
}

RunOutcome InstallationRun::Execute() {
    failures_.clear();
    shortForm_.clear();
    product_.reset();
    if (window_.ReadLocation().empty()) {
        window_.ShowMessage(texts::kNoLocation);
        return {};
    }
    if (!LocationUsable() || !ProductClosed()) {
        return {false, {}, true, std::nullopt};
    }
    window_.SetCancelCaption(texts::kFinish);
    CreateFolders();

    ReadFromOrigins();
    RemoveLeftovers();

    // Program files, templates, then components; several at a time, finished in this order.
    RetrieveFiles();

    WriteSettings();
    MarkProductExecutables();
    if (window_.DesktopShortcutChosen()) {
        MakeDesktopShortcut();
    }
    if (window_.ProgramGroupChosen()) {
        MakeProgramGroup();
    }
    window_.DisableNext();
    MarkSetupFolder();
    RegisterForRemoval();
    HideProgress();
    ShowOutcome();
    return {true, failures_, false, product_};
}

// The user may edit the box whenever the run yields, so every use reads it again.
std::wstring InstallationRun::Location() {
    return WithSeparator(window_.ReadLocation());
}

// Checked before anything is made: a location Windows cannot use, or one whose program folder the
// settings cannot name exactly, is refused; the user can correct it and press "Dalje" again.
bool InstallationRun::LocationUsable() {
    const std::wstring location = window_.ReadLocation();
    std::wstring message;
    if (const std::optional<LocationFault> fault = CheckLocation(location)) {
        message = LocationMessage(location, *fault);
    } else {
        const AnsiPath folder = AnsiFormOf(ProgramFolder(location), files_, system_);
        if (!folder.path.empty()) {
            return true;
        }
        log_.Write(kLogLocation, folder.why);
        message = AnsiRefusalMessage(location, system_);
    }
    log_.Write(kLogLocation, message);
    window_.ShowMessage(message);
    return false;
}

// Files about to be replaced must not be running; every program in the program folder may be.
bool InstallationRun::ProductClosed() {
    const std::wstring program = ProgramFolder(Location());
    for (;;) {
        const std::vector<std::wstring> running = system_.RunningPrograms(program);
        if (running.empty()) {
            return true;
        }
        std::wstring problem = texts::kProductRunning;
        for (const std::wstring& path : running) {
            log_.Write(kLogRunning, path);
            problem += path + L"\r\n";
        }
        if (!window_.AskRetry(problem)) {
            log_.Write(kLogReport, texts::kInstallStopped);
            window_.ShowMessage(texts::kInstallStopped);
            return false;
        }
    }
}

void InstallationRun::CreateFolders() {
    for (std::size_t i = 0; i < FolderLayout(L"").size(); ++i) {
        const std::wstring path = FolderLayout(window_.ReadLocation())[i];
        if (files_.PathExists(path)) {
            log_.Write(kLogFolder, path + L": exists");
            continue;
        }
        unsigned long error = 0;
        const bool created = files_.CreateFolder(path, &error);
        log_.Write(kLogFolder, path + L": created " + Result(created));
        if (!created) {
            throw RunFailure{static_cast<int>(error), texts::kFolderFailed, texts::kContextFolder + path};
        }
        placed_.Add(RecordKind::Folder, path);
    }
    // Someone who can write there may have made one of them a link or junction (into the Windows
    // folder, say). Nothing goes through one: the location and the program folder end the run, DATA and
    // TEMPLATE are items of the report (their files are refused one by one).
    for (std::size_t i = 0; i < FolderLayout(L"").size(); ++i) {
        const std::wstring path = FolderLayout(window_.ReadLocation())[i];
        if (files_.ReachedDirectly(path)) {
            continue;
        }
        log_.Write(kLogRedirected, path);
        if (i < 2) {
            throw RunFailure{kErrorRedirected, texts::kFolderRedirected, texts::kContextFolder + path};
        }
        Fail(FailureKind::Redirected, path);
    }
}

// An update adds to what earlier runs placed. The record lies in the removal folder (an earlier version
// kept it beside the product, where standard users may write), and this run seals what it writes: so a record
// the entry's seal does not vouch for (an earlier version's has none, or it was changed since) gives only
// what an installation can have made, and of the components only those this run places too, so that no line
// ever makes another program's counted component ours. A record that cannot be read is started anew.
void InstallationRun::ReadEarlierRecord() {
    std::wstring path = registration_.RemovalFolder() + L"\\" + texts::kRecordFile;
    if (!files_.FileExists(path)) {
        path = ProgramFolderWithSlash(Location()) + texts::kRecordFile;
    }
    const std::optional<std::string> text = files_.ReadFile(path);
    if (!text) {
        return;
    }
    earlierRecordPath_ = path;
    std::optional<InstallRecord> record = ParseRecord(*text);
    if (!record) {
        log_.Write(kLogRecord, path + L": damaged, written anew");
        return;
    }
    const std::optional<RecordSeal> seal = registration_.ReadRecordSeal();
    const bool vouched = seal && *seal == SealOf(*text);
    log_.Write(kLogRecord, path + (vouched ? L": read"
                                   : seal  ? L": changed after the installation, checked"
                                           : L": no seal (an earlier version's), checked"));
    if (!vouched) {
        const InstallBounds bounds{ProgramFolder(Location()), system_.SystemDir(), system_.DesktopDirectory(),
                                   system_.ProgramGroupFolder(), registration_.RemovalFolder()};
        std::erase_if(record->entries, [&](const RecordEntry& entry) {
            const bool foreign = !InstallCanHaveMade(entry, bounds) ||
                                 (entry.kind == RecordKind::Component && !IsListedComponent(entry.path));
            if (foreign) {
                log_.Write(kLogRecord, entry.path + L": left out");
            }
            return foreign;
        });
    }
    earlier_ = std::move(*record);
}

bool InstallationRun::IsListedComponent(const std::wstring& path) {
    for (const PlanEntry* entry : plan_[ListingKind::Support].Files()) {
        if (SamePath(PlaceOf(*entry, {}, system_.SystemDir()).path, path)) {
            return true;
        }
    }
    return false;
}

void InstallationRun::FetchListing(ListingKind kind) {
    const std::wstring url = ListingUrl(serverBase_, kind);
    network_.PurgeUrlCache(url);
    const std::wstring folder = ProgramFolderWithSlash(Location());
    const TransferResult result = network_.DownloadListing(url, folder, ListingFileName(kind));
    listingFetches_[Index(kind)] = result;
    if (result.ok()) {
        placed_.Add(RecordKind::File, folder + ListingFileName(kind));
    }
    log_.Write(kLogListing, DescribeTransfer(url, folder + ListingFileName(kind), result));
}

// The listings, the earlier record and the folders' sums. With mirrors, an origin that does not answer
// all three pages, gives a page without files or sums the publisher did not sign is passed over; the
// last one is read as a single server is: its failures stop the run, or an earlier copy of a page is read.
void InstallationRun::ReadFromOrigins() {
    for (std::size_t i = 0; i < origins_.size(); ++i) {
        serverBase_ = origins_[i];
        const bool last = i + 1 == origins_.size();
        FetchListing(ListingKind::Support);
        FetchListing(ListingKind::Program);
        FetchListing(ListingKind::Template);
        if (i == 0) {
            ShowProgress();
        }
        if (!last) {
            if (const std::optional<std::wstring> why = ListingsFailed()) {
                log_.Write(kLogOrigin, serverBase_ + L": passed over, " + *why);
                continue;
            }
        }
        const std::size_t failuresBefore = failures_.size();
        try {
            ReadListing(ListingKind::Program);
            ReadListing(ListingKind::Support);
            ReadListing(ListingKind::Template);
            ReadEarlierRecord();
            for (const ListingKind kind : kRetrievalOrder) {
                LoadChecksums(kind);
            }
        } catch (const RunFailure& failure) {
            if (last) {
                throw;
            }
            failures_.resize(failuresBefore); // what this origin's pages said is not the report's
            log_.Write(kLogOrigin, serverBase_ + PassedOverText(failure));
            continue;
        }
        if (origins_.size() > 1) {
            log_.Write(kLogOrigin, serverBase_ + L": serves the listings");
        }
        return;
    }
}

// Why the pages of the origin just asked cannot all be had from it, or nothing.
std::optional<std::wstring> InstallationRun::ListingsFailed() const {
    for (const ListingKind kind : {ListingKind::Support, ListingKind::Program, ListingKind::Template}) {
        const TransferResult& fetched = listingFetches_[Index(kind)];
        if (!fetched.ok()) {
            return ListingUrl(serverBase_, kind) + L": " + ReasonText(fetched);
        }
    }
    return std::nullopt;
}

void InstallationRun::ShowProgress() {
    window_.SetProgressTrackVisible(true);
    window_.SetStatusVisible(true);
    window_.SetStatus(texts::kDownloading);
    window_.ProcessPendingMessages();
}

// A listing whose download failed is still read from the copy an earlier run left.
void InstallationRun::ReadListing(ListingKind kind) {
    const std::wstring path = ProgramFolderWithSlash(Location()) + ListingFileName(kind);
    const std::optional<std::string> page = files_.ReadFile(path);
    const TransferResult& fetched = listingFetches_[Index(kind)];
    if (!page) {
        log_.Write(kLogListing, path + L": absent");
        throw ListingUnavailable(ListingUrl(serverBase_, kind), fetched);
    }
    if (!fetched.ok()) {
        Fail(FailureKind::NotDownloaded, ListingFileName(kind), ReasonText(fetched));
    }
    FolderPlan& folder = plan_[kind] = PlanFolder(kind, *page, serverBase_);
    log_.Write(kLogListing, path + L": " + std::to_wstring(folder.linkedNames) + L" names");
    if (!folder.navigation.empty()) {
        log_.Write(kLogNavigation, path + L": " + NavigationText(folder.navigation));
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
            log_.Write(kLogBadName, DisplayText(entry.raw) + L": " + entry.why);
            failures_.push_back(entry.failure);
        }
    }
}

// The folder's SHA256SUMS is read into memory before any of its files is fetched.
void InstallationRun::LoadChecksums(ListingKind kind) {
    const ChecksumLoad load = zunor::LoadChecksums(
        plan_[kind],
        [this](const std::wstring& url, std::string& body) {
            network_.PurgeUrlCache(url);
            return network_.FetchText(url, body);
        },
        publisher_);
    if (load.listed) {
        log_.Write(kLogChecksums, DescribeTransfer(plan_[kind].Checksums()->url, L"-", load.fetched));
    }
    if (!load.signatureUrl.empty()) {
        log_.Write(kLogSignature, DescribeTransfer(load.signatureUrl, L"-", load.signatureFetched));
    }
    const std::wstring where = load.listed ? plan_[kind].Checksums()->url : ListingUrl(serverBase_, kind);
    log_.Write(kLogSignature, where + TrustText(load));
    if (load.trust == SumsTrust::Refused) {
        throw SumsRefused(where, load.refusal);
    }
    for (const FailedItem& item : load.failures) {
        log_.Write(kLogChecksums, FormatItem(item));
        failures_.push_back(item);
    }
}

// A run that was killed (or lost its power) left its temporary files beside what it was placing. They go
// before anything is placed, so they never pile up; a setup program that still runs keeps its own. In
// the system folder, which is everybody's, only those of the listed components count.
void InstallationRun::RemoveLeftovers() {
    const std::wstring program = ProgramFolder(Location());
    std::vector<std::wstring> leftovers = files_.LeftoverParts(program);
    for (std::wstring& path : files_.LeftoverParts(program + L"\\TEMPLATE")) {
        leftovers.push_back(std::move(path));
    }
    for (std::wstring& path : files_.LeftoverParts(system_.SystemDir())) {
        const std::optional<PartFileName> part = ParsePartFileName(NameOf(path));
        for (const PlanEntry* entry : plan_[ListingKind::Support].Files()) {
            if (part && SamePath(part->target, entry->fileName)) {
                leftovers.push_back(path);
                break;
            }
        }
    }
    for (const std::wstring& path : leftovers) {
        const RunFiles::Removal removal = files_.RemoveFile(path);
        const bool gone = removal == RunFiles::Removal::Removed || removal == RunFiles::Removal::Absent;
        log_.Write(kLogLeftover, path + (gone ? L": removed" : L": could not be removed"));
    }
}

// Up to Connections() files are on their way at once. Each is placed in listing order, and finished
// (reported, a component registered) in listing order once it and all before it have ended; with one
// connection that is one file after another, each finished before the next is placed.
void InstallationRun::RetrieveFiles() {
    jobs_.clear();
    std::size_t beforeComponents = 0;
    for (const ListingKind kind : kRetrievalOrder) {
        for (const PlanEntry* entry : plan_[kind].Files()) {
            FileJob& job = jobs_.emplace_back();
            job.entry = entry;
        }
        if (kind != ListingKind::Support) {
            beforeComponents = jobs_.size();
        }
    }
    PurgeFileUrls();
    const std::size_t connections = std::max<std::size_t>(1, network_.Connections());
    log_.Write(kLogConnections, std::to_wstring(connections));
    retrieval_ = RetrievalQueue(jobs_.size());
    namedFile_.reset();
    finishing_ = false;
    shownFill_ = 0.0;
    std::optional<std::size_t> held; // placed, but a file of the same name is still on its way
    for (;;) {
        // Finished in listing order; the status turns when the components' turn comes.
        for (;;) {
            if (!finishing_ && retrieval_.Finished() >= beforeComponents) {
                ShowFinishing();
            }
            const std::optional<std::size_t> file = retrieval_.NextToFinish();
            if (!file) {
                break;
            }
            FinishFile(*file);
        }
        if (retrieval_.Done()) {
            break;
        }
        const std::optional<std::size_t> file = held ? held : retrieval_.NextToStart(connections);
        held.reset();
        if (file) {
            const Placing placing = PlaceFile(*file);
            if (placing == Placing::NoTransfer) {
                retrieval_.Ended(*file);
            }
            if (placing != Placing::Held) {
                continue; // what can be finished is, before the next file is placed
            }
            held = file;
        }
        if (retrieval_.Running() == (held ? 1u : 0u)) {
            break; // cannot happen: a file that is neither waiting nor running has ended
        }
        EndTransfer(network_.NextDownload());
        // The last transfer has ended: its threads go before the components are registered.
        if (!held && retrieval_.AllStarted() && retrieval_.Running() == 0) {
            network_.EndDownloads();
        }
    }
}

// Once for all files, before the first is requested: a stale copy in the URL cache goes.
void InstallationRun::PurgeFileUrls() {
    std::vector<std::wstring> urls;
    urls.reserve(jobs_.size());
    for (const FileJob& job : jobs_) {
        urls.push_back(job.entry->url);
    }
    if (!urls.empty()) {
        network_.PurgeUrlCaches(urls);
    }
}

// The step of one file: where it goes (the location is read afresh), the last guard on its name,
// the user's database kept, and the start of its transfer. A file whose destination an earlier one
// (a listing may name a file twice) is still writing is held, and placed again once that has ended,
// so the later one takes its place after it, as one after another.
InstallationRun::Placing InstallationRun::PlaceFile(std::size_t file) {
    FileJob& job = jobs_[file];
    const PlanEntry& entry = *job.entry;
    job.place = entry.kind == ListingKind::Support ? PlaceOf(entry, {}, system_.SystemDir())
                                                   : PlaceOf(entry, Location(), {});
    if (!files_.IsInside(job.place.folder, job.place.path)) {
        job.placed = Placed::Refused;
        return Placing::NoTransfer;
    }
    if (!files_.ReachedDirectly(job.place.folder)) {
        job.placed = Placed::Redirected;
        return Placing::NoTransfer;
    }
    if (DestinationBusy(file)) {
        return Placing::Held;
    }
    if (entry.action == PlanAction::KeepIfPresent && files_.FileExists(job.place.path)) {
        job.placed = Placed::Kept;
        return Placing::NoTransfer;
    }
    // A component new to this product that is already there belongs to some other program too.
    if (entry.kind == ListingKind::Support && !earlier_.Has(RecordKind::Component, job.place.path) &&
        files_.FileExists(job.place.path)) {
        componentsFoundThere_.push_back(job.place.path);
    }
    job.placed = Placed::Transferred;
    job.url = entry.url;
    StartTransfer(file);
    return Placing::Started;
}

void InstallationRun::StartTransfer(std::size_t file) {
    FileJob& job = jobs_[file];
    TransferOptions options;
    options.expectedSha256 = job.entry->sha256;
    // What SHA256SUMS vouches for and is in place already stays without a request (the worker hashes
    // it), unless every file is to come again.
    options.keepIfCurrent = job.entry->sha256.has_value() && !repair_;
    options.progress = [this, file](std::uint64_t received, std::uint64_t total) {
        ShowTransfer(file, received, total);
    };
    network_.StartDownload(file, job.url, job.place.path, options);
}

// A file that failed at its listing's origin after its retries is asked once of each other origin,
// in order, before it counts as failed. What the user stopped, or the disk refused, is not.
bool InstallationRun::TryOtherOrigin(std::size_t file) {
    FileJob& job = jobs_[file];
    if (job.result.ok() || job.result.error == TransferError::Cancelled ||
        job.result.error == TransferError::WriteFailed || job.originsTried >= origins_.size() ||
        !job.entry->url.starts_with(serverBase_ + L"/")) {
        return false;
    }
    std::size_t next = 0;
    for (std::size_t i = 0, tried = 0; i < origins_.size(); ++i) {
        if (origins_[i] == serverBase_) {
            continue;
        }
        if (++tried == job.originsTried) {
            next = i;
            break;
        }
    }
    ++job.originsTried;
    job.url = origins_[next] + job.entry->url.substr(serverBase_.size());
    network_.PurgeUrlCache(job.url);
    StartTransfer(file);
    return true;
}

// Whether an earlier file still on its way goes to the same place (Windows names: case aside).
bool InstallationRun::DestinationBusy(std::size_t file) const {
    const std::wstring& path = jobs_[file].place.path;
    for (std::size_t other = retrieval_.Finished(); other < file; ++other) {
        if (jobs_[other].placed == Placed::Transferred && !retrieval_.HasEnded(other) &&
            SamePath(jobs_[other].place.path, path)) {
            return true;
        }
    }
    return false;
}

// A transfer has ended: the log has it at once, the report when its turn comes.
void InstallationRun::EndTransfer(const FinishedDownload& done) {
    if (done.ticket >= jobs_.size()) {
        return;
    }
    FileJob& job = jobs_[done.ticket];
    job.result = done.result;
    if (namedFile_ == done.ticket) {
        window_.SetStatus(finishing_ ? texts::kFinishing : texts::kDownloading); // the name goes with it
        namedFile_.reset();
    }
    log_.Write(job.result.current ? kLogCurrent : kLogFile,
               DescribeTransfer(job.url, job.place.path, job.result));
    if (TryOtherOrigin(done.ticket)) {
        return;
    }
    retrieval_.Ended(done.ticket);
}

// A file's last steps, in listing order: the report's item, and a component registered.
void InstallationRun::FinishFile(std::size_t file) {
    const FileJob& job = jobs_[file];
    const PlanEntry& entry = *job.entry;
    switch (job.placed) {
    case Placed::Refused:
        log_.Write(kLogBadName, DisplayText(entry.raw) + L": " + texts::kRefusedOutsideFolder);
        Fail(FailureKind::BadName, DisplayText(entry.raw));
        break;
    case Placed::Redirected:
        log_.Write(kLogRedirected, job.place.path);
        Fail(FailureKind::Redirected, job.place.path);
        break;
    case Placed::Kept:
        log_.Write(kLogKept, job.place.path);
        placed_.Add(RecordKind::Data, job.place.path);
        break;
    case Placed::Transferred:
        if (!job.result.ok()) {
            Fail(FailureKind::NotDownloaded, entry.fileName, ReasonText(job.result));
        } else {
            placed_.Add(entry.kind == ListingKind::Support          ? RecordKind::Component
                        : entry.action == PlanAction::KeepIfPresent ? RecordKind::Data
                                                                    : RecordKind::File,
                        job.place.path);
            NoteProduct(file);
        }
        if (entry.kind == ListingKind::Support) {
            RegisterComponent(entry, job.place.path, job.result.ok());
        }
        break;
    }
    ShowFill();
}

// The product's program as it lies now, when this run placed it: "Zavrsi" starts that file only. Where
// SHA256SUMS vouches for it, its digest is the one expected; otherwise the bytes just placed are hashed.
void InstallationRun::NoteProduct(std::size_t file) {
    const FileJob& job = jobs_[file];
    if (job.entry->kind != ListingKind::Program || !SamePath(job.entry->fileName, texts::kProductExe) ||
        !SamePath(job.place.path, ProgramFilePath(Location(), texts::kProductExe))) {
        return;
    }
    const std::optional<std::uint64_t> size = files_.FileSize(job.place.path);
    const std::optional<Sha256Digest> digest =
        job.entry->sha256 ? job.entry->sha256 : files_.FileSha256(job.place.path);
    if (!size || !digest) {
        log_.Write(kLogProduct, job.place.path + L": cannot be read");
        return;
    }
    product_ = ProductFile{job.place.path, *size, *digest};
    log_.Write(kLogProduct,
               job.place.path + L": " + std::to_wstring(*size) + L" bytes, SHA-256 " + HexText(*digest));
    window_.ProductPlaced(*product_);
}

// A component whose download failed is registered from the copy already there, if there is one.
void InstallationRun::RegisterComponent(const PlanEntry& entry, const std::wstring& path, bool downloaded) {
    if (!downloaded && !files_.FileExists(path)) {
        return;
    }
    const bool registered = system_.RegisterComponent(path);
    log_.Write(kLogRegister, path + L": " + Result(registered));
    if (!registered) {
        Fail(FailureKind::NotRegistered, entry.fileName);
    }
}

// The program files and templates are done; the components follow.
void InstallationRun::ShowFinishing() {
    finishing_ = true;
    window_.SetStatus(texts::kFinishing);
    window_.ProcessPendingMessages();
}

// Only writes to the window: the run reads its controls between steps, never from here.
void InstallationRun::ShowTransfer(std::size_t file, std::uint64_t received, std::uint64_t total) {
    FileJob& job = jobs_[file];
    retrieval_.Progress(file, total > 0 ? static_cast<double>(received) / static_cast<double>(total) : 0.0);
    ShowFill();
    if (total <= kLargeFileBytes) {
        return;
    }
    // One large file at a time has the status line, from its first report to its end.
    if (!namedFile_ || *namedFile_ == file) {
        namedFile_ = file;
        const wchar_t* status =
            job.entry->kind == ListingKind::Support ? texts::kFinishing : texts::kDownloading;
        window_.SetStatus(TransferStatus(status, job.entry->fileName, received, total));
    }
    // Every tenth gets its line, also those passed between two reports.
    const int reached = NewTenth(received, total, job.loggedTenth).value_or(job.loggedTenth);
    for (int tenth = job.loggedTenth + 1; tenth <= reached; ++tenth) {
        log_.Write(kLogProgress, job.entry->fileName + L": " + std::to_wstring(tenth * 10) + L"% (" +
                                     MegabytesOf(total / 10 * static_cast<std::uint64_t>(tenth), total) +
                                     L")");
    }
    job.loggedTenth = reached;
}

// The bar only ever moves forward.
void InstallationRun::ShowFill() {
    const double fill = retrieval_.Fill();
    if (fill > shownFill_) {
        shownFill_ = fill;
        window_.SetProgress(fill);
    }
}

void InstallationRun::WriteSettings() {
    const std::wstring location = Location();
    const std::wstring iniPath = ProgramFolderWithSlash(location) + texts::kSettingsFile;
    const AnsiPath folder = AnsiFormOf(ProgramFolder(location), files_, system_);
    if (folder.path.empty()) {
        log_.Write(kLogSetting, iniPath + L": not written, " + folder.why);
        Fail(FailureKind::Setting, iniPath);
        return;
    }
    const bool written =
        system_.WriteSetting(iniPath, texts::kSettingsSection, texts::kSettingsKey, folder.path);
    const std::wstring form =
        folder.shortForm ? L"short form of " + ProgramFolder(location) : std::wstring(L"as typed");
    log_.Write(kLogSetting, iniPath + L": " + Result(written) + L", " + texts::kSettingsKey + L"=" +
                                folder.path + L" (" + form + L")");
    if (!written) {
        Fail(FailureKind::Setting, iniPath);
        return;
    }
    if (folder.shortForm) {
        shortForm_ = folder.path;
    }
    placed_.Add(RecordKind::Setting, iniPath);
}

void InstallationRun::MarkProductExecutables() {
    for (const wchar_t* exe : {texts::kProductExe, texts::kUpdaterExe}) {
        const std::wstring valueName = ProgramFilePath(Location(), exe);
        if (WriteLayer(valueName) == LayerWrite::Written) {
            placed_.Add(RecordKind::Layer, valueName);
        }
    }
}

void InstallationRun::MakeDesktopShortcut() {
    MakeShortcut(system_.DesktopDirectory() + L"\\" + texts::kDesktopLink);
}

void InstallationRun::MakeProgramGroup() {
    const std::wstring folder = system_.ProgramGroupFolder();
    if (!files_.PathExists(folder)) {
        // A folder that cannot be made shows up as the shortcut that cannot be saved in it.
        unsigned long error = 0;
        const bool created = files_.CreateFolder(folder, &error);
        log_.Write(kLogFolder, folder + L": created " + Result(created));
        if (created) {
            placed_.Add(RecordKind::Folder, folder);
        }
    }
    MakeShortcut(folder + L"\\" + texts::kGroupLink);
}

// The shortcut names the program folder in the same form as the settings.
void InstallationRun::MakeShortcut(const std::wstring& linkPath) {
    const AnsiPath folder = AnsiFormOf(ProgramFolder(Location()), files_, system_);
    if (folder.path.empty()) {
        log_.Write(kLogShortcut, linkPath + L": not made, " + folder.why);
        Fail(FailureKind::Shortcut, linkPath);
        return;
    }
    const bool made =
        system_.CreateShortcut(linkPath, folder.path + L"\\" + texts::kProductExe, folder.path + L"\\");
    log_.Write(kLogShortcut,
               linkPath + L": " + Result(made) + (folder.shortForm ? L", short form " + folder.path : L""));
    if (!made) {
        Fail(FailureKind::Shortcut, linkPath);
        return;
    }
    placed_.Add(RecordKind::Shortcut, linkPath);
}

// Where an empty mark already stands for the setup program's own folder, it is filled in; no mark
// is created there. At a drive root the folder ends in a backslash and the name doubles it.
void InstallationRun::MarkSetupFolder() {
    const std::wstring setupFolder = system_.SetupFolder();
    for (const wchar_t* exe : {texts::kUpdaterExe, texts::kProductExe}) {
        const std::wstring valueName = setupFolder + L"\\" + exe;
        if (system_.ReadLayer(valueName, texts::kLayerData).empty()) {
            WriteLayer(valueName);
        }
    }
}

LayerWrite InstallationRun::WriteLayer(const std::wstring& valueName) {
    const LayerWrite result = system_.WriteLayer(valueName, texts::kLayerData);
    const wchar_t* text = result == LayerWrite::Written     ? L"written"
                          : result == LayerWrite::KeyAbsent ? L"no Layers key, not marked"
                                                            : L"failed";
    log_.Write(kLogLayer, valueName + L": " + text);
    if (result == LayerWrite::Failed) {
        Fail(FailureKind::Layer, valueName);
    }
    return result;
}

// What lets the product be removed again: the shared counts of new components, a copy of this setup
// program and the record of everything placed by any run in the removal folder (the entry runs the copy
// with administrator rights, so it lies where only administrators write, whatever the location), and
// the entry in the system's list of installed programs that runs the copy.
void InstallationRun::RegisterForRemoval() {
    const std::wstring folder = registration_.RemovalFolder();
    const std::wstring copy = folder + L"\\" + texts::kUninstallerFile;
    for (RecordEntry& entry : placed_.entries) {
        if (entry.kind != RecordKind::Folder && entry.kind != RecordKind::Layer) {
            entry.size = files_.FileSize(entry.path).value_or(0);
        }
    }
    CountSharedUses();
    const bool protectedFolder = registration_.ProtectRemovalFolder();
    log_.Write(kLogUninstaller,
               folder + L": " + (protectedFolder ? L"only administrators write" : L"cannot be made so"));
    if (!protectedFolder) {
        // Neither the copy nor the record goes where others could change them.
        Fail(FailureKind::Uninstaller, copy);
        Fail(FailureKind::Record, folder + L"\\" + texts::kRecordFile);
        return;
    }
    placed_.Add(RecordKind::Folder, folder);
    const bool copied = CopyUninstaller(copy);
    InstallRecord record = earlier_;
    record.Merge(placed_);
    if (copied) {
        RemoveOldRemovalFiles(record);
    }
    const std::wstring recordPath = folder + L"\\" + texts::kRecordFile;
    const std::string text = FormatRecord(record);
    const bool written = files_.WriteFile(recordPath, text);
    log_.Write(kLogRecord,
               recordPath + L": " + std::to_wstring(record.entries.size()) + L" entries, " + Result(written));
    if (!written) {
        Fail(FailureKind::Record, recordPath);
    }
    // The entry runs the copy, so it is written only where a copy is there to run. It keeps the seal of
    // the record just written (the bytes in hand, not what lies on disk by now).
    if (!copied && !files_.FileExists(copy)) {
        Fail(FailureKind::UninstallEntry, texts::kUninstallKey);
    } else if (WriteUninstallEntry(copy, record.TotalBytes()) && written) {
        const bool sealed = registration_.WriteRecordSeal(SealOf(text));
        log_.Write(kLogRecord, recordPath + L": sealed in the entry " + Result(sealed));
        if (!sealed) {
            Fail(FailureKind::UninstallEntry, texts::kUninstallKey);
        }
    }
}

// An earlier version kept the copy and the record beside the product: the new ones are in the removal
// folder now, so those go (what cannot go stays in the record, for the removal to take).
void InstallationRun::RemoveOldRemovalFiles(InstallRecord& record) {
    const std::wstring oldCopy = ProgramFilePath(Location(), texts::kUninstallerFile);
    const std::wstring oldRecord = ProgramFilePath(Location(), texts::kRecordFile);
    for (const std::wstring& path : {oldCopy, oldRecord}) {
        const bool ours = SamePath(path, oldRecord) ? SamePath(earlierRecordPath_, oldRecord)
                                                    : record.Has(RecordKind::Uninstaller, oldCopy);
        if (!ours) {
            continue;
        }
        const RunFiles::Removal removal = files_.RemoveFile(path);
        const bool gone = removal == RunFiles::Removal::Removed || removal == RunFiles::Removal::Absent;
        log_.Write(kLogUninstaller,
                   path + (gone ? L": moved to the removal folder" : L": could not be removed"));
        if (gone) {
            std::erase_if(record.entries,
                          [&](const RecordEntry& entry) { return SamePath(entry.path, path); });
        }
    }
}

// Once per component and product: an update that places it again does not count it again. A
// component whose count could not be raised is left out of the record, so removal never lowers it.
void InstallationRun::CountSharedUses() {
    std::vector<RecordEntry> kept;
    for (const RecordEntry& entry : placed_.entries) {
        if (entry.kind == RecordKind::Component && !earlier_.Has(RecordKind::Component, entry.path)) {
            const bool wasThere = std::find(componentsFoundThere_.begin(), componentsFoundThere_.end(),
                                            entry.path) != componentsFoundThere_.end();
            const bool counted = registration_.AddSharedUse(entry.path, wasThere);
            log_.Write(kLogShared, entry.path + (wasThere ? L": found there, " : L": ") + Result(counted));
            if (!counted) {
                Fail(FailureKind::SharedCount, entry.path);
                continue;
            }
        }
        kept.push_back(entry);
    }
    placed_.entries = std::move(kept);
}

bool InstallationRun::CopyUninstaller(const std::wstring& copy) {
    const bool copied = registration_.CopySetupProgram(copy);
    log_.Write(kLogUninstaller, copy + L": " + Result(copied));
    if (!copied) {
        Fail(FailureKind::Uninstaller, copy);
        return false;
    }
    placed_.Add(RecordKind::Uninstaller, copy, files_.FileSize(copy).value_or(0));
    return true;
}

bool InstallationRun::WriteUninstallEntry(const std::wstring& copy, std::uint64_t bytes) {
    const std::wstring location = Location();
    const std::wstring product = ProgramFilePath(location, texts::kProductExe);
    UninstallEntry entry;
    entry.displayName = texts::kDisplayName;
    entry.publisher = texts::kPublisher;
    entry.displayVersion = registration_.FileVersion(product);
    if (entry.displayVersion.empty()) {
        entry.displayVersion = registration_.SetupVersion();
    }
    entry.displayIcon = product;
    entry.installLocation = ProgramFolder(location);
    entry.installDate = registration_.Today();
    entry.estimatedSizeKiB =
        static_cast<std::uint32_t>(std::min<std::uint64_t>((bytes + 1023) / 1024, 0xFFFFFFFFu));
    entry.uninstallString = L"\"" + copy + L"\" " + texts::kUninstallSwitch;
    entry.quietUninstallString = entry.uninstallString + L" " + texts::kSilentSwitch;
    const bool written = registration_.WriteUninstallEntry(entry);
    log_.Write(kLogEntry, std::wstring(texts::kUninstallKey) + L": " + Result(written));
    if (!written) {
        Fail(FailureKind::UninstallEntry, texts::kUninstallKey);
    }
    return written;
}

void InstallationRun::HideProgress() {
    window_.SetProgressTrackVisible(false);
    window_.SetStatusVisible(false);
}

void InstallationRun::ShowOutcome() {
    std::wstring text = texts::kSuccess;
    if (failures_.empty()) {
        log_.Write(kLogReport, texts::kSuccess);
    } else {
        for (const FailedItem& item : failures_) {
            log_.Write(kLogReport, FormatItem(item));
        }
        text = FormatReport(failures_);
    }
    if (!shortForm_.empty()) {
        const std::wstring note = texts::kShortFormNote + shortForm_;
        log_.Write(kLogReport, note);
        text += L"\r\n\r\n" + note;
    }
    window_.ShowMessage(text);
}

void InstallationRun::Fail(FailureKind kind, std::wstring name, std::wstring reason) {
    failures_.push_back(FailedItem{kind, std::move(name), std::move(reason)});
}

} // namespace zunor
