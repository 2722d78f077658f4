#pragma once
// The installation run that "Dalje" starts: folders, listings, files, components, settings,
// compatibility marks, shortcuts, and the closing message. Written once against the ports of
// run_ports.h, so the order of its calls is the same under test as on Windows.
#include <array>
#include <string>
#include <vector>

#include "install/install_plan.h"
#include "install/install_record.h"
#include "install/listing_parser.h"
#include "common/run_ports.h"
#include "install/run_report.h"

namespace zunor {

struct RunOutcome {
    bool started = false; // false: no location was given, or it was refused; nothing was done
    std::vector<FailedItem> failures;
    // The run refused to start, with a message saying why: a location Windows cannot use, or Zunor 2021
    // running from it. Nothing was made.
    bool refused = false;
};

class InstallationRun {
public:
    InstallationRun(RunWindow& window, RunNetwork& network, RunFiles& files, RunSystem& system,
                    RunRegistration& registration, RunLog& log, std::wstring serverBase);

    // Throws RunFailure for what it cannot pass over: a folder it cannot create, a listing it has no copy of.
    RunOutcome Execute();

private:
    std::wstring Location();
    bool LocationUsable();
    bool ProductClosed();
    void RemoveLeftovers();
    void CreateFolders();
    void FetchListing(ListingKind kind);
    void ShowProgress();
    void ReadListing(ListingKind kind);
    void LoadChecksums(ListingKind kind);
    void RetrieveList(ListingKind kind);
    void RetrieveProgramFile(const PlanEntry& entry);
    void RetrieveTemplateFile(const PlanEntry& entry);
    void RetrieveSupportFile(const PlanEntry& entry);
    bool InsideFolder(const Placement& place, const PlanEntry& entry);
    bool Download(const PlanEntry& entry, const std::wstring& destination);
    struct FileProgress {
        bool named = false;  // the status line names the file
        int loggedTenth = 0; // the last tenth written to the log
    };
    void ShowTransfer(const PlanEntry& entry, std::uint64_t received, std::uint64_t total, FileProgress& shown);
    void WriteSettings();
    void MarkProductExecutables();
    void MakeDesktopShortcut();
    void MakeProgramGroup();
    void MakeShortcut(const std::wstring& linkPath);
    void MarkSetupFolder();
    LayerWrite WriteLayer(const std::wstring& valueName);
    void ReadEarlierRecord();
    void RegisterForRemoval();
    void CountSharedUses();
    bool CopyUninstaller(const std::wstring& copy);
    void WriteUninstallEntry(const std::wstring& copy, std::uint64_t bytes);
    void HideProgress();
    void ShowOutcome();
    void Fail(FailureKind kind, std::wstring name, std::wstring reason = {});

    RunWindow& window_;
    RunNetwork& network_;
    RunFiles& files_;
    RunSystem& system_;
    RunRegistration& registration_;
    RunLog& log_;
    std::wstring serverBase_;
    std::array<TransferResult, 3> listingFetches_{}; // by ListingKind
    InstallPlan plan_;
    std::vector<FailedItem> failures_;
    // What earlier runs placed (the record beside the program), and what this one places.
    InstallRecord earlier_;
    InstallRecord placed_;
    std::vector<std::wstring> componentsFoundThere_; // new to the record, but already in the system folder
    std::wstring shortForm_; // the program folder's short form, where the settings got that
    // The file being fetched: its place in its list, and the status line it is shown under.
    std::size_t fileIndex_ = 0;
    std::size_t fileCount_ = 0;
    const wchar_t* fileStatus_ = L"";
};

} // namespace zunor
