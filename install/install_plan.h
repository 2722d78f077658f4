#pragma once
// What an installation does with the files the server lists: for every listed name, where it is
// fetched from, where it goes and what is done with it. Made from the listing pages and the folders'
// SHA256SUMS; the run carries it out and /LIST prints it, so the two cannot tell different stories.
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/transfer_options.h"
#include "common/transfer_result.h"
#include "install/listing_parser.h"
#include "install/run_failure.h"
#include "install/run_report.h"
#include "install/sha256_sums.h"

namespace zunor {

enum class PlanAction {
    Download,      // fetched and put in place; checked against sha256 when it is set
    KeepIfPresent, // the user's database: fetched only when no copy is there
    Checksums,     // the folder's SHA256SUMS: read into memory, never installed
    Signature,     // the publisher's signature over it (SHA256SUMS.sig): the same
    Skip,          // never requested; failure says why
};

struct PlanEntry {
    ListingKind kind = ListingKind::Program;
    std::string raw;       // the name as the page (or SHA256SUMS) wrote it
    std::wstring fileName; // local name; empty when the name was refused
    std::wstring url;      // empty when the name was refused
    PlanAction action = PlanAction::Skip;
    std::optional<Sha256Digest> sha256;
    FailedItem failure; // Skip only: the report's item
    std::wstring why;   // Skip only: the reason in full, for the log and /LIST
};

struct FolderPlan {
    ListingKind kind = ListingKind::Program;
    std::vector<PlanEntry> entries; // in page order; names only SHA256SUMS gives come after
    std::size_t linkedNames = 0;    // names the page links to
    std::vector<std::string> navigation; // the page's other links, as written: never fetched

    // The folder's SHA256SUMS, when its page lists one (the first, if it lists it twice).
    const PlanEntry* Checksums() const;
    // Its SHA256SUMS.sig, when the page lists one (the first).
    const PlanEntry* Signature() const;
    // The entries the retrieval works through: downloads and the kept database.
    std::vector<const PlanEntry*> Files() const;
};

// The three folders, by ListingKind.
struct InstallPlan {
    std::array<FolderPlan, 3> folders;
    FolderPlan& operator[](ListingKind kind) { return folders[static_cast<std::size_t>(kind)]; }
    const FolderPlan& operator[](ListingKind kind) const { return folders[static_cast<std::size_t>(kind)]; }
};

// The order in which the folders' files are retrieved (and listed).
inline constexpr std::array<ListingKind, 3> kRetrievalOrder{ListingKind::Program, ListingKind::Template,
                                                            ListingKind::Support};

// One folder's entries from its listing page: names decoded and checked, refused ones skipped.
FolderPlan PlanFolder(ListingKind kind, std::string_view page, std::wstring_view serverBase);

// Reads a folder's SHA256SUMS into memory; body holds it when the result is ok.
using FetchText = std::function<TransferResult(const std::wstring& url, std::string& body)>;

// The publisher's word on the folders' SHA256SUMS.
struct Publisher {
    // Whether signature is the publisher's signature over sums' exact bytes; empty: nothing verifies.
    std::function<bool(std::string_view sums, std::string_view signature)> verify;
    // Every folder must have signed sums, and a file they do not name is not fetched.
    bool required = false;
};

enum class SumsTrust {
    None,     // no SHA256SUMS, and none required
    Unsigned, // SHA256SUMS without a signature, and none required
    Verified, // signed by the publisher
    Refused,  // a signature that does not verify, or signed sums required and not there
};

struct ChecksumLoad {
    bool listed = false; // the folder has a SHA256SUMS (otherwise nothing was fetched)
    TransferResult fetched;
    std::vector<FailedItem> failures; // in the order they arose
    SumsTrust trust = SumsTrust::None;
    std::wstring signatureUrl; // when the page lists a signature
    TransferResult signatureFetched;
    std::wstring refusal; // Refused: why, in the program's words
};

// When the folder lists a SHA256SUMS: fetches it (and its signature, when listed, which must verify)
// and gives each file it names its digest. A file with a bad line, every file when it cannot be had,
// and a name it gives that the page does not list become skipped entries and failures. Refused sums
// give the folder nothing: the caller stops (SumsRefused).
ChecksumLoad LoadChecksums(FolderPlan& folder, const FetchText& fetch, const Publisher& publisher = {});

// What the log says of a folder's sums after LoadChecksums: whether they were signed and verified
// (appended to the address of the sums, or of the page where there are none).
std::wstring TrustText(const ChecksumLoad& load);

// What the log says of an origin passed over for a failure of its listings or sums.
std::wstring PassedOverText(const RunFailure& failure);

// The failure that ends a run (or /LIST) whose folder's sums the publisher does not vouch for; url is
// the folder's SHA256SUMS (or its page, when it has none).
RunFailure SumsRefused(const std::wstring& url, const std::wstring& why);

// Applies an already read SHA256SUMS (LoadChecksums uses it; exposed for tests).
std::vector<FailedItem> ApplySha256Sums(FolderPlan& folder, const Sha256Sums& sums,
                                        std::wstring_view sumsUrl);

// The failure that ends a run (or /LIST) when a listing page cannot be had; url is the page's.
RunFailure ListingUnavailable(const std::wstring& url, const TransferResult& fetched);

// The failure that ends a run (or /LIST) when the program folder's page arrived but links no file of
// it: an error page sent with status 200, or an index whose links the installer cannot read.
RunFailure NoFileLinked(const std::wstring& url, const TransferResult& fetched);

// Where an entry goes: the folder that must hold it and the full path. The location is read by the
// caller each time (the user may change it while the run yields).
struct Placement {
    std::wstring folder;
    std::wstring path;
};
Placement PlaceOf(const PlanEntry& entry, std::wstring_view location, std::wstring_view systemDir);

} // namespace zunor
