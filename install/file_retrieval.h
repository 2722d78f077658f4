#pragma once
// The files of the three lists, several at once (see retrieval_queue.h): each placed in listing order,
// the user's database kept, a failed file asked of the other origins, the bar and the status line moved,
// and each finished in listing order (the report's item, a component registered).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install/install_paths.h"
#include "install/listing_reader.h"
#include "install/retrieval_queue.h"
#include "install/run_context.h"

namespace zunor {

class FileRetrieval {
public:
    // repair: every file is fetched again, also one that SHA256SUMS shows is already in place.
    FileRetrieval(RunContext& run, const ListingReader& listings, bool repair);

    void Run();

    // Components new to the record that were already in the system folder: another program shares them.
    const std::vector<std::wstring>& ComponentsFoundThere() const { return componentsFoundThere_; }
    // The product's program as this run placed it; nothing when it did not.
    const std::optional<ProductFile>& Product() const { return product_; }

private:
    void PurgeFileUrls();
    enum class Placing { Started, NoTransfer, Held };
    Placing PlaceFile(std::size_t file);
    bool DestinationBusy(std::size_t file) const;
    void EndTransfer(const FinishedDownload& done);
    void StartTransfer(std::size_t file);
    bool TryOtherOrigin(std::size_t file);
    void FinishFile(std::size_t file);
    void NoteProduct(std::size_t file);
    void RegisterComponent(const PlanEntry& entry, const std::wstring& path, bool downloaded);
    void ShowFinishing();
    void ShowTransfer(std::size_t file, std::uint64_t received, std::uint64_t total);
    void ShowFill();

    RunContext& run_;
    const ListingReader& listings_;
    bool repair_;
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
    std::vector<std::wstring> componentsFoundThere_;
    std::optional<ProductFile> product_;
};

} // namespace zunor
