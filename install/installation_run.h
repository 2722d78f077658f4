#pragma once
// The installation run that "Dalje" starts: folders, listings, files, components, settings,
// compatibility marks, shortcuts, and the closing message. Written once against the ports of
// run_ports.h, so the order of its calls is the same under test as on Windows.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "install/install_plan.h"
#include "install/install_record.h"
#include "install/listing_parser.h"
#include "install/retrieval_queue.h"
#include "common/run_ports.h"
#include "install/run_report.h"

namespace zunor {

struct RunOutcome {
    bool started = false; // false: no location was given, or it was refused; nothing was done
    std::vector<FailedItem> failures;
    // The run refused to start, with a message saying why: a location Windows cannot use, or Zunor 2021
    // running from it. Nothing was made.
    bool refused = false;
    // The product's program as this run placed it or found it current; nothing when it did neither.
    std::optional<ProductFile> product;
};

class InstallationRun {
public:
    // repair: every file is fetched again, also one that SHA256SUMS shows is already in place.
    InstallationRun(RunWindow& window, RunNetwork& network, RunFiles& files, RunSystem& system,
                    RunRegistration& registration, RunLog& log, std::wstring serverBase, bool repair = false);

    // serverBase may name several origins separated by ";" (mirrors), tried in that order.
    // The publisher's key and whether its signature is required (without it: nothing verifies).
    void SetPublisher(Publisher publisher) { publisher_ = std::move(publisher); }

    // Throws RunFailure for what it cannot pass over: a folder it cannot create, a listing it has no copy
    // of, a folder's sums that the publisher did not sign.
    RunOutcome Execute();

private:
    std::wstring Location();
    bool LocationUsable();
    bool ProductClosed();
    void RemoveLeftovers();
    void CreateFolders();
    void FetchListing(ListingKind kind);
    void ShowProgress();
    void ReadFromOrigins();
    std::optional<std::wstring> ListingsFailed() const;
    void ReadListing(ListingKind kind);
    void LoadChecksums(ListingKind kind);
    // The files of the three lists, several at once (see retrieval_queue.h).
    void RetrieveFiles();
    void PurgeFileUrls();
    enum class Placing { Started, NoTransfer, Held };
    Placing PlaceFile(std::size_t file);
    bool DestinationBusy(std::size_t file) const;
    void EndTransfer(const FinishedDownload& done);
    void StartTransfer(std::size_t file);
    bool TryOtherOrigin(std::size_t file);
    void FinishFile(std::size_t file);
    void RegisterComponent(const PlanEntry& entry, const std::wstring& path, bool downloaded);
    void ShowFinishing();
    void ShowTransfer(std::size_t file, std::uint64_t received, std::uint64_t total);
    void ShowFill();
    void WriteSettings();
    void MarkProductExecutables();
    void MakeDesktopShortcut();
    void MakeProgramGroup();
    void MakeShortcut(const std::wstring& linkPath);
    void MarkSetupFolder();
    LayerWrite WriteLayer(const std::wstring& valueName);
    void ReadEarlierRecord();
    bool IsListedComponent(const std::wstring& path);
    void NoteProduct(std::size_t file);
    void RegisterForRemoval();
    void RemoveOldRemovalFiles(InstallRecord& record);
    void CountSharedUses();
    bool CopyUninstaller(const std::wstring& copy);
    bool WriteUninstallEntry(const std::wstring& copy, std::uint64_t bytes);
    void HideProgress();
    void ShowOutcome();
    void Fail(FailureKind kind, std::wstring name, std::wstring reason = {});

    RunWindow& window_;
    RunNetwork& network_;
    RunFiles& files_;
    RunSystem& system_;
    RunRegistration& registration_;
    RunLog& log_;
    std::wstring serverBase_;           // the origin that serves the listings (and the files)
    std::vector<std::wstring> origins_; // all of them, in the order they are tried
    Publisher publisher_;
    bool repair_;
    std::array<TransferResult, 3> listingFetches_{}; // by ListingKind
    InstallPlan plan_;
    std::vector<FailedItem> failures_;
    // What earlier runs placed (the record beside the program), and what this one places.
    InstallRecord earlier_;
    InstallRecord placed_;
    std::vector<std::wstring> componentsFoundThere_; // new to the record, but already in the system folder
    std::wstring shortForm_; // the program folder's short form, where the settings got that
    std::optional<ProductFile> product_;
    std::wstring earlierRecordPath_; // where the earlier record was read: an earlier version kept it beside the product
    // One file of the retrieval: where it goes, and how its placement went.
    enum class Placed { Refused, Redirected, Kept, Transferred };
    struct FileJob {
        const PlanEntry* entry = nullptr;
        Placement place;
        Placed placed = Placed::Transferred;
        TransferResult result;
        int loggedTenth = 0; // the last tenth of a large file written to the log
        std::wstring url;    // where it is being fetched from: its listing's origin, or another one
        std::size_t originsTried = 1;
    };
    std::vector<FileJob> jobs_; // in listing order: program files, templates, components
    RetrievalQueue retrieval_;
    std::optional<std::size_t> namedFile_; // the large file the status line names
    bool finishing_ = false;               // the status line says "Dovrsavanje instalacije"
    double shownFill_ = 0.0;
};

} // namespace zunor
