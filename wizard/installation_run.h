#pragma once
// The installation run that "Dalje" starts: folders, listings, files, components, settings,
// compatibility marks, shortcuts, and the closing message. Written once against the ports of
// run_ports.h, so the order of its calls is the same under test as on Windows.
#include <array>
#include <string>
#include <vector>

#include "wizard/listed_name.h"
#include "wizard/listing_parser.h"
#include "wizard/run_ports.h"
#include "wizard/run_report.h"

namespace zunor {

struct RunOutcome {
    bool started = false; // false: no location was given, nothing was done
    std::vector<FailedItem> failures;
};

class InstallationRun {
public:
    InstallationRun(RunWindow& window, RunNetwork& network, RunFiles& files, RunSystem& system, RunLog& log,
                    std::wstring serverBase);

    // Throws RunFailure for what it cannot pass over: a folder it cannot create, a listing it has no copy of.
    RunOutcome Execute();

private:
    using Names = std::vector<ListedName>;

    std::wstring Location();
    void CreateFolders();
    void FetchListing(ListingKind kind);
    void ShowProgress();
    Names ReadListing(ListingKind kind);
    Names AcceptNames(const std::vector<std::string>& rawNames);
    void RetrieveList(ListingKind kind, const Names& names);
    void RetrieveProgramFile(const ListedName& name);
    void RetrieveTemplateFile(const ListedName& name);
    void RetrieveSupportFile(const ListedName& name);
    bool InsideFolder(const std::wstring& folder, const std::wstring& path, const ListedName& name);
    bool Download(const std::wstring& url, const std::wstring& destination, const ListedName& name);
    void WriteSettings();
    void MarkProductExecutables();
    void MakeDesktopShortcut();
    void MakeProgramGroup();
    void MakeShortcut(const std::wstring& linkPath);
    void MarkSetupFolder();
    void WriteLayer(const std::wstring& valueName);
    void HideProgress();
    void ShowOutcome();
    void Fail(FailureKind kind, std::wstring name, std::wstring reason = {});

    RunWindow& window_;
    RunNetwork& network_;
    RunFiles& files_;
    RunSystem& system_;
    RunLog& log_;
    std::wstring serverBase_;
    std::array<TransferResult, 3> listingFetches_{}; // by ListingKind
    std::vector<FailedItem> failures_;
};

} // namespace zunor
