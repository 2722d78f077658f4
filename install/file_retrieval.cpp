#include "install/file_retrieval.h"

#include <algorithm>
#include <utility>

#include "common/sha256_plain.h"
#include "common/texts.h"
#include "install/listed_name.h"
#include "install/transfer_log.h"
#include "install/transfer_progress.h"
#include "install/utf8_text.h"

namespace zunor {

using namespace runlog; // the log's step names

FileRetrieval::FileRetrieval(RunContext& run, const ListingReader& listings, bool repair)
    : run_(run), listings_(listings), repair_(repair) {}

// Up to Connections() files are on their way at once. Each is placed in listing order, and finished
// (reported, a component registered) in listing order once it and all before it have ended; with one
// connection that is one file after another, each finished before the next is placed.
void FileRetrieval::Run() {
    jobs_.clear();
    std::size_t beforeComponents = 0;
    for (const ListingKind kind : kRetrievalOrder) {
        for (const PlanEntry* entry : listings_.Plan()[kind].Files()) {
            FileJob& job = jobs_.emplace_back();
            job.entry = entry;
        }
        if (kind != ListingKind::Support) {
            beforeComponents = jobs_.size();
        }
    }
    PurgeFileUrls();
    const std::size_t connections = std::max<std::size_t>(1, run_.network.Connections());
    run_.log.Write(kLogConnections, std::to_wstring(connections));
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
        EndTransfer(run_.network.NextDownload());
        // The last transfer has ended: its threads go before the components are registered.
        if (!held && retrieval_.AllStarted() && retrieval_.Running() == 0) {
            run_.network.EndDownloads();
        }
    }
}

// Once for all files, before the first is requested: a stale copy in the URL cache goes.
void FileRetrieval::PurgeFileUrls() {
    std::vector<std::wstring> urls;
    urls.reserve(jobs_.size());
    for (const FileJob& job : jobs_) {
        urls.push_back(job.entry->url);
    }
    if (!urls.empty()) {
        run_.network.PurgeUrlCaches(urls);
    }
}

// The step of one file: where it goes (the location is read afresh), the last guard on its name,
// the user's database kept, and the start of its transfer. A file whose destination an earlier one
// (a listing may name a file twice) is still writing is held, and placed again once that has ended,
// so the later one takes its place after it, as one after another.
FileRetrieval::Placing FileRetrieval::PlaceFile(std::size_t file) {
    FileJob& job = jobs_[file];
    const PlanEntry& entry = *job.entry;
    job.place = entry.kind == ListingKind::Support ? PlaceOf(entry, {}, run_.system.SystemDir())
                                                   : PlaceOf(entry, run_.Location(), {});
    if (!run_.files.IsInside(job.place.folder, job.place.path)) {
        job.placed = Placed::Refused;
        return Placing::NoTransfer;
    }
    if (!run_.files.ReachedDirectly(job.place.folder)) {
        job.placed = Placed::Redirected;
        return Placing::NoTransfer;
    }
    if (DestinationBusy(file)) {
        return Placing::Held;
    }
    if (entry.action == PlanAction::KeepIfPresent && run_.files.FileExists(job.place.path)) {
        job.placed = Placed::Kept;
        return Placing::NoTransfer;
    }
    // A component new to this product that is already there belongs to some other program too.
    if (entry.kind == ListingKind::Support &&
        !listings_.Earlier().Has(RecordKind::Component, job.place.path) &&
        run_.files.FileExists(job.place.path)) {
        componentsFoundThere_.push_back(job.place.path);
    }
    job.placed = Placed::Transferred;
    job.url = entry.url;
    StartTransfer(file);
    return Placing::Started;
}

void FileRetrieval::StartTransfer(std::size_t file) {
    FileJob& job = jobs_[file];
    TransferOptions options;
    options.expectedSha256 = job.entry->sha256;
    // What SHA256SUMS vouches for and is in place already stays without a request (the worker hashes
    // it), unless every file is to come again.
    options.keepIfCurrent = job.entry->sha256.has_value() && !repair_;
    options.progress = [this, file](std::uint64_t received, std::uint64_t total) {
        ShowTransfer(file, received, total);
    };
    run_.network.StartDownload(file, job.url, job.place.path, options);
}

// A file that failed at its listing's origin after its retries is asked once of each other origin,
// in order, before it counts as failed. What the user stopped, or the disk refused, is not.
bool FileRetrieval::TryOtherOrigin(std::size_t file) {
    FileJob& job = jobs_[file];
    if (job.result.ok() || job.result.error == TransferError::Cancelled ||
        job.result.error == TransferError::WriteFailed || job.originsTried >= listings_.Origins().size() ||
        !job.entry->url.starts_with(listings_.ServerBase() + L"/")) {
        return false;
    }
    std::size_t next = 0;
    for (std::size_t i = 0, tried = 0; i < listings_.Origins().size(); ++i) {
        if (listings_.Origins()[i] == listings_.ServerBase()) {
            continue;
        }
        if (++tried == job.originsTried) {
            next = i;
            break;
        }
    }
    ++job.originsTried;
    job.url = listings_.Origins()[next] + job.entry->url.substr(listings_.ServerBase().size());
    run_.network.PurgeUrlCache(job.url);
    StartTransfer(file);
    return true;
}

// Whether an earlier file still on its way goes to the same place (Windows names: case aside).
bool FileRetrieval::DestinationBusy(std::size_t file) const {
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
void FileRetrieval::EndTransfer(const FinishedDownload& done) {
    if (done.ticket >= jobs_.size()) {
        return;
    }
    FileJob& job = jobs_[done.ticket];
    job.result = done.result;
    if (namedFile_ == done.ticket) {
        run_.window.SetStatus(finishing_ ? texts::kFinishing : texts::kDownloading); // the name goes with it
        namedFile_.reset();
    }
    run_.log.Write(job.result.current ? kLogCurrent : kLogFile,
                   DescribeTransfer(job.url, job.place.path, job.result));
    if (TryOtherOrigin(done.ticket)) {
        return;
    }
    retrieval_.Ended(done.ticket);
}

// A file's last steps, in listing order: the report's item, and a component registered.
void FileRetrieval::FinishFile(std::size_t file) {
    const FileJob& job = jobs_[file];
    const PlanEntry& entry = *job.entry;
    switch (job.placed) {
    case Placed::Refused:
        run_.log.Write(kLogBadName, DisplayText(entry.raw) + L": " + texts::kRefusedOutsideFolder);
        run_.Fail(FailureKind::BadName, DisplayText(entry.raw));
        break;
    case Placed::Redirected:
        run_.log.Write(kLogRedirected, job.place.path);
        run_.Fail(FailureKind::Redirected, job.place.path);
        break;
    case Placed::Kept:
        run_.log.Write(kLogKept, job.place.path);
        run_.placed.Add(RecordKind::Data, job.place.path);
        break;
    case Placed::Transferred:
        if (!job.result.ok()) {
            run_.Fail(FailureKind::NotDownloaded, entry.fileName, ReasonText(job.result));
        } else {
            run_.placed.Add(entry.kind == ListingKind::Support          ? RecordKind::Component
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
void FileRetrieval::NoteProduct(std::size_t file) {
    const FileJob& job = jobs_[file];
    if (job.entry->kind != ListingKind::Program || !SamePath(job.entry->fileName, texts::kProductExe) ||
        !SamePath(job.place.path, ProgramFilePath(run_.Location(), texts::kProductExe))) {
        return;
    }
    const std::optional<std::uint64_t> size = run_.files.FileSize(job.place.path);
    const std::optional<Sha256Digest> digest =
        job.entry->sha256 ? job.entry->sha256 : run_.files.FileSha256(job.place.path);
    if (!size || !digest) {
        run_.log.Write(kLogProduct, job.place.path + L": cannot be read");
        return;
    }
    product_ = ProductFile{job.place.path, *size, *digest};
    run_.log.Write(kLogProduct,
                   job.place.path + L": " + std::to_wstring(*size) + L" bytes, SHA-256 " + HexText(*digest));
    run_.window.ProductPlaced(*product_);
}

// A component whose download failed is registered from the copy already there, if there is one.
void FileRetrieval::RegisterComponent(const PlanEntry& entry, const std::wstring& path, bool downloaded) {
    if (!downloaded && !run_.files.FileExists(path)) {
        return;
    }
    const bool registered = run_.system.RegisterComponent(path);
    run_.log.Write(kLogRegister, path + L": " + Result(registered));
    if (!registered) {
        run_.Fail(FailureKind::NotRegistered, entry.fileName);
    }
}

// The program files and templates are done; the components follow.
void FileRetrieval::ShowFinishing() {
    finishing_ = true;
    run_.window.SetStatus(texts::kFinishing);
    run_.window.ProcessPendingMessages();
}

// Only writes to the window: the run reads its controls between steps, never from here.
void FileRetrieval::ShowTransfer(std::size_t file, std::uint64_t received, std::uint64_t total) {
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
        run_.window.SetStatus(TransferStatus(status, job.entry->fileName, received, total));
    }
    // Every tenth gets its line, also those passed between two reports.
    const int reached = NewTenth(received, total, job.loggedTenth).value_or(job.loggedTenth);
    for (int tenth = job.loggedTenth + 1; tenth <= reached; ++tenth) {
        run_.log.Write(kLogProgress, job.entry->fileName + L": " + std::to_wstring(tenth * 10) + L"% (" +
                                         MegabytesOf(total / 10 * static_cast<std::uint64_t>(tenth), total) +
                                         L")");
    }
    job.loggedTenth = reached;
}

// The bar only ever moves forward.
void FileRetrieval::ShowFill() {
    const double fill = retrieval_.Fill();
    if (fill > shownFill_) {
        shownFill_ = fill;
        run_.window.SetProgress(fill);
    }
}

} // namespace zunor
