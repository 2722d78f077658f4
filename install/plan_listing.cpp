#include "install/plan_listing.h"

#include <optional>

#include "common/texts.h"
#include "install/install_paths.h"
#include "install/install_plan.h"
#include "install/origin_choice.h"
#include "install/transfer_log.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

constexpr wchar_t kLogListing[] = L"listing";
constexpr wchar_t kLogPlan[] = L"plan";
constexpr wchar_t kLogSignature[] = L"signature";
constexpr wchar_t kInMemory[] = L"(memory)";

std::wstring Line(std::wstring_view url, std::wstring_view destination, std::wstring_view action) {
    std::wstring line(url);
    line.append(L"\t").append(destination).append(L"\t").append(action);
    return line;
}

} // namespace

PlanTotals ListPlan(RunNetwork& network, RunFiles& files, RunSystem& system, RunLog& log,
                    const std::function<void(std::wstring_view)>& print, std::wstring_view serverBase,
                    std::wstring_view location, bool repair, const Publisher& publisher) {
    const std::vector<std::wstring> origins = SplitOrigins(serverBase);
    std::wstring base;
    const FetchText fetch = [&](const std::wstring& url, std::string& body) {
        const TransferResult result = network.FetchText(url, body);
        log.Write(kLogListing, DescribeTransfer(url, kInMemory, result));
        return result;
    };

    // The same order as the installation: listings, then each folder's SHA256SUMS; with mirrors, the
    // first origin that gives all of them, signed where signed.
    InstallPlan plan;
    ReadFromFirstOrigin(origins, log, [&](std::size_t origin) -> std::optional<std::wstring> {
        base = origins[origin];
        for (const ListingKind kind : {ListingKind::Support, ListingKind::Program, ListingKind::Template}) {
            const std::wstring url = ListingUrl(base, kind);
            std::string page;
            const TransferResult fetched = fetch(url, page);
            if (!fetched.ok()) {
                throw ListingUnavailable(url, fetched);
            }
            plan[kind] = PlanFolder(kind, page, base);
            if (kind == ListingKind::Program && plan[kind].linkedNames == 0) {
                throw NoFileLinked(url, fetched); // as the installation would end
            }
        }
        for (const ListingKind kind : kRetrievalOrder) {
            const ChecksumLoad load = LoadChecksums(plan[kind], fetch, publisher);
            const FolderPlan& folder = plan[kind];
            const std::wstring where = load.listed ? folder.Checksums()->url : ListingUrl(base, kind);
            log.Write(kLogSignature, where + TrustText(load));
            if (load.trust == SumsTrust::Refused) {
                throw SumsRefused(where, load.refusal);
            }
        }
        return std::nullopt;
    });

    const std::wstring place = WithSeparator(location);
    const std::wstring systemDir = system.SystemDir();
    PlanTotals totals;
    const auto emit = [&](const std::wstring& line) {
        print(line);
        log.Write(kLogPlan, line);
    };
    for (const ListingKind kind : kRetrievalOrder) {
        for (const PlanEntry& entry : plan[kind].entries) {
            const Placement where = PlaceOf(entry, place, systemDir);
            switch (entry.action) {
            case PlanAction::Checksums:
                emit(Line(entry.url, texts::kPlanNoDestination, texts::kPlanChecksums));
                break;
            case PlanAction::Signature:
                emit(Line(entry.url, texts::kPlanNoDestination, texts::kPlanSignature));
                break;
            case PlanAction::Skip:
                ++totals.skipped;
                emit(Line(entry.url.empty() ? ListingUrl(base, kind) + L"/" + DisplayText(entry.raw)
                                            : entry.url,
                          entry.fileName.empty() ? std::wstring(texts::kPlanNoDestination) : where.path,
                          texts::kPlanSkipPrefix + entry.why));
                break;
            case PlanAction::Download:
            case PlanAction::KeepIfPresent:
                if (!files.IsInside(where.folder, where.path)) {
                    ++totals.skipped;
                    emit(Line(entry.url, where.path,
                              std::wstring(texts::kPlanSkipPrefix) + texts::kRefusedOutsideFolder));
                } else if (entry.action == PlanAction::KeepIfPresent && files.FileExists(where.path)) {
                    ++totals.kept;
                    emit(Line(entry.url, where.path, texts::kPlanKeep));
                } else if (entry.sha256 && !repair && files.FileSha256(where.path) == entry.sha256) {
                    ++totals.kept;
                    emit(Line(entry.url, where.path, texts::kPlanCurrent));
                } else {
                    ++totals.downloads;
                    emit(Line(entry.url, where.path,
                              entry.sha256 ? texts::kPlanDownloadChecked : texts::kPlanDownload));
                }
                break;
            }
        }
    }
    emit(texts::kPlanTotalsPrefix + std::to_wstring(totals.downloads) + texts::kPlanTotalsDownload +
         std::to_wstring(totals.kept) + texts::kPlanTotalsKeep + std::to_wstring(totals.skipped) +
         texts::kPlanTotalsSkip);
    return totals;
}

} // namespace zunor
