#pragma once
// The installation run that "Dalje" starts: folders, listings, files, components, settings,
// compatibility marks, shortcuts, the registration for removal and the closing message. Written once
// against the ports of run_ports.h, so the order of its calls is the same under test as on Windows.
// Execute() is the list of steps; the phases with state of their own are classes beside it
// (listing_reader.h, file_retrieval.h, finishing_steps.h, removal_registration.h).
#include <optional>
#include <string>
#include <vector>

#include "common/run_ports.h"
#include "install/install_plan.h"
#include "install/install_record.h"
#include "install/listing_parser.h"
#include "install/run_context.h"
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
    bool LocationUsable();
    bool ProductClosed();
    void CreateFolders();
    void RemoveLeftovers(const InstallPlan& plan);
    void HideProgress();
    void ShowOutcome(const std::wstring& shortForm);

    RunContext run_;
    std::vector<std::wstring> origins_; // the origins of the listings and files, in the order they are tried
    Publisher publisher_;
    bool repair_;
};

} // namespace zunor
