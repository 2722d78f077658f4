#pragma once
// The first phase of the installation run: the three listings fetched beside the program (an earlier
// run's copy read where a download fails), the earlier record, and each folder's SHA256SUMS with the
// publisher's signature. With mirrors, the first origin that gives them all serves the run.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/transfer_result.h"
#include "install/install_plan.h"
#include "install/install_record.h"
#include "install/run_context.h"

namespace zunor {

class ListingReader {
public:
    ListingReader(RunContext& run, const std::vector<std::wstring>& origins, const Publisher& publisher);

    // Throws RunFailure for what it cannot pass over: a listing it has no copy of, a program page that
    // links no file, a folder's sums that the publisher did not sign.
    void Read();

    const InstallPlan& Plan() const { return plan_; }
    // What earlier runs placed, as far as it can be trusted, and where its record was read.
    const InstallRecord& Earlier() const { return earlier_; }
    const std::wstring& EarlierRecordPath() const { return earlierRecordPath_; }
    const std::vector<std::wstring>& Origins() const { return origins_; }
    const std::wstring& ServerBase() const { return serverBase_; } // the origin that serves the listings

private:
    std::optional<std::wstring> ReadOrigin(std::size_t origin);
    void FetchListing(ListingKind kind);
    void ShowProgress();
    std::optional<std::wstring> ListingsFailed() const;
    void ReadListing(ListingKind kind);
    void LoadChecksums(ListingKind kind);
    void ReadEarlierRecord();
    bool IsListedComponent(const std::wstring& path);

    RunContext& run_;
    const std::vector<std::wstring>& origins_;
    const Publisher& publisher_;
    std::wstring serverBase_;
    std::array<TransferResult, 3> listingFetches_{}; // by ListingKind
    InstallPlan plan_;
    InstallRecord earlier_;
    std::wstring earlierRecordPath_; // an earlier version kept the record beside the product
};

} // namespace zunor
