#include "install/install_plan.h"

#include <utility>

#include "install/install_paths.h"
#include "install/listed_name.h"
#include "common/texts.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

bool IsFile(const PlanEntry& entry) {
    return entry.action == PlanAction::Download || entry.action == PlanAction::KeepIfPresent;
}

void MarkSkipped(PlanEntry& entry, FailedItem failure, std::wstring why) {
    entry.action = PlanAction::Skip;
    entry.sha256.reset();
    entry.failure = std::move(failure);
    entry.why = std::move(why);
}

std::wstring ParentUrl(std::wstring_view url) {
    return std::wstring(url.substr(0, url.rfind(L'/')));
}

} // namespace

const PlanEntry* FolderPlan::Checksums() const {
    for (const PlanEntry& entry : entries) {
        if (entry.action == PlanAction::Checksums) {
            return &entry;
        }
    }
    return nullptr;
}

const PlanEntry* FolderPlan::Signature() const {
    for (const PlanEntry& entry : entries) {
        if (entry.action == PlanAction::Signature) {
            return &entry;
        }
    }
    return nullptr;
}

std::vector<const PlanEntry*> FolderPlan::Files() const {
    std::vector<const PlanEntry*> files;
    for (const PlanEntry& entry : entries) {
        if (IsFile(entry)) {
            files.push_back(&entry);
        }
    }
    return files;
}

FolderPlan PlanFolder(ListingKind kind, std::string_view page, std::wstring_view serverBase) {
    FolderPlan folder;
    folder.kind = kind;
    // The page came from the server: links by absolute path or address into this folder name its files.
    const std::vector<std::string> names =
        ParseListing(page, kind, &folder.navigation, EncodeUtf8(serverBase));
    folder.linkedNames = names.size();
    folder.entries.reserve(names.size());
    for (const std::string& raw : names) {
        PlanEntry entry;
        entry.kind = kind;
        entry.raw = raw;
        std::wstring why;
        std::optional<ListedName> name = DecodeListedName(raw, &why);
        if (!name) {
            MarkSkipped(entry, FailedItem{FailureKind::BadName, DisplayText(raw), {}}, std::move(why));
            folder.entries.push_back(std::move(entry));
            continue;
        }
        entry.url = FileUrl(serverBase, kind, name->urlName);
        entry.fileName = std::move(name->fileName);
        if (entry.fileName == texts::kChecksumsFile) {
            entry.action = PlanAction::Checksums;
        } else if (entry.fileName == texts::kSignatureFile) {
            entry.action = PlanAction::Signature;
        } else if (kind == ListingKind::Program && IsDatabaseName(entry.fileName)) {
            // The user's data lives in the database: a reinstallation never replaces it.
            entry.action = PlanAction::KeepIfPresent;
        } else {
            entry.action = PlanAction::Download;
        }
        folder.entries.push_back(std::move(entry));
    }
    return folder;
}

std::vector<FailedItem> ApplySha256Sums(FolderPlan& folder, const Sha256Sums& sums,
                                        std::wstring_view sumsUrl) {
    std::vector<FailedItem> failures;
    for (const BadSumsLine& bad : sums.badLines) {
        const std::optional<std::wstring> name = bad.name.empty() ? std::nullopt : DecodeUtf8(bad.name);
        if (!name) {
            failures.push_back(
                {FailureKind::BadSumsLine,
                 std::wstring(sumsUrl) + texts::kSumsLineNumber + std::to_wstring(bad.lineNumber),
                 {}});
            continue;
        }
        FailedItem item{FailureKind::NotDownloaded, *name, texts::kReasonBadSumsLine};
        for (PlanEntry& entry : folder.entries) {
            if (IsFile(entry) && entry.fileName == *name) {
                MarkSkipped(entry, item, texts::kReasonBadSumsLine);
            }
        }
        failures.push_back(std::move(item));
    }
    for (const auto& [rawName, digest] : sums.digests) {
        const std::optional<std::wstring> name = DecodeUtf8(rawName);
        bool listed = false;
        for (PlanEntry& entry : folder.entries) {
            if (name && entry.fileName == *name && entry.action != PlanAction::Skip) {
                listed = true;
                if (IsFile(entry)) {
                    entry.sha256 = digest;
                }
            }
        }
        // The product's archives are served but never installed: nothing to check.
        if (listed || (folder.kind == ListingKind::Program && IsExcludedArchive(rawName))) {
            continue;
        }
        // Vouched for but not served: the installation would lack it.
        PlanEntry missing;
        missing.kind = folder.kind;
        missing.raw = rawName;
        missing.fileName = name.value_or(DisplayText(rawName));
        missing.url = ParentUrl(sumsUrl) + L"/" + DisplayText(rawName);
        FailedItem item{FailureKind::NotDownloaded, missing.fileName, texts::kReasonNotListed};
        MarkSkipped(missing, item, texts::kReasonNotListed);
        folder.entries.push_back(std::move(missing));
        failures.push_back(std::move(item));
    }
    return failures;
}

ChecksumLoad LoadChecksums(FolderPlan& folder, const FetchText& fetch, const Publisher& publisher) {
    ChecksumLoad load;
    const PlanEntry* sumsEntry = folder.Checksums();
    if (sumsEntry == nullptr) {
        if (publisher.required) {
            load.trust = SumsTrust::Refused;
            load.refusal = texts::kSumsMissing;
        }
        return load;
    }
    load.listed = true;
    const std::wstring url = sumsEntry->url;
    std::string body;
    load.fetched = fetch(url, body);
    if (load.fetched.ok()) {
        const PlanEntry* signatureEntry = folder.Signature();
        if (signatureEntry != nullptr) {
            load.signatureUrl = signatureEntry->url;
            std::string signature;
            load.signatureFetched = fetch(load.signatureUrl, signature);
            if (!load.signatureFetched.ok()) {
                load.trust = SumsTrust::Refused;
                load.refusal = texts::kSignatureNotFetchedPrefix + ReasonText(load.signatureFetched);
                return load;
            }
            if (!publisher.verify || !publisher.verify(body, signature)) {
                load.trust = SumsTrust::Refused;
                load.refusal = texts::kSignatureInvalid;
                return load;
            }
            load.trust = SumsTrust::Verified;
        } else if (publisher.required) {
            load.trust = SumsTrust::Refused;
            load.refusal = texts::kSignatureMissing;
            return load;
        } else {
            load.trust = SumsTrust::Unsigned;
        }
        load.failures = ApplySha256Sums(folder, ParseSha256Sums(body), url);
        if (publisher.required) {
            // Adding a name to the page buys nothing: only what the publisher vouches for is fetched.
            for (PlanEntry& entry : folder.entries) {
                if (IsFile(entry) && !entry.sha256) {
                    FailedItem item{FailureKind::NotDownloaded, entry.fileName, texts::kReasonNotSigned};
                    MarkSkipped(entry, item, texts::kReasonNotSigned);
                    load.failures.push_back(std::move(item));
                }
            }
        }
        return load;
    }
    load.trust = SumsTrust::Unsigned;
    // The server vouches for its files here, and the voucher cannot be read: nothing goes in unchecked.
    load.failures.push_back({FailureKind::NotDownloaded, texts::kChecksumsFile, ReasonText(load.fetched)});
    for (PlanEntry& entry : folder.entries) {
        if (IsFile(entry)) {
            FailedItem item{FailureKind::NotDownloaded, entry.fileName, texts::kReasonNoSums};
            MarkSkipped(entry, item, texts::kReasonNoSums);
            load.failures.push_back(std::move(item));
        }
    }
    return load;
}

RunFailure SumsRefused(const std::wstring& url, const std::wstring& why) {
    constexpr int kInvalidData = 13; // ERROR_INVALID_DATA; the detail says what is wrong
    return RunFailure{kInvalidData, texts::kSumsNotSigned, texts::kContextUrl + url, why};
}

std::wstring TrustText(const ChecksumLoad& load) {
    switch (load.trust) {
    case SumsTrust::None:
        return L": no SHA256SUMS, not signed";
    case SumsTrust::Unsigned:
        return L": not signed";
    case SumsTrust::Verified:
        return L": signed by the publisher, verified";
    case SumsTrust::Refused:
        break;
    }
    return L": refused, " + load.refusal;
}

std::wstring PassedOverText(const RunFailure& failure) {
    return L": passed over, " + failure.description + (failure.detail.empty() ? L"" : L" " + failure.detail);
}

RunFailure ListingUnavailable(const std::wstring& url, const TransferResult& fetched) {
    constexpr int kFileNotFound = 2; // ERROR_FILE_NOT_FOUND, when nothing better says why
    int number = kFileNotFound;
    bool systemError = true;
    if (fetched.systemError != 0) {
        number = static_cast<int>(fetched.systemError);
    } else if (!fetched.ok() && fetched.status != 0) {
        number = fetched.status;
        systemError = false;
    }
    std::wstring detail;
    if (fetched.error == TransferError::ProxyAuthRequired) {
        detail = texts::kProxyAuthPrefix + fetched.address + texts::kProxyAuthSuffix;
    } else if (fetched.error == TransferError::InsecureRedirect && !fetched.address.empty()) {
        detail = texts::kSentToUnprotected + fetched.address;
    }
    return RunFailure{number, texts::kListingFailed, texts::kContextUrl + url, std::move(detail),
                      systemError};
}

RunFailure NoFileLinked(const std::wstring& url, const TransferResult& fetched) {
    constexpr int kInvalidData = 13; // ERROR_INVALID_DATA, as for any answer the program cannot use
    std::wstring detail = texts::kNoFileLink;
    if (fetched.status != 0) {
        detail += texts::kNoFileLinkStatus + std::to_wstring(fetched.status) + L")";
    }
    return RunFailure{kInvalidData, texts::kNoFileListed, texts::kContextUrl + url, detail + L".", false};
}

Placement PlaceOf(const PlanEntry& entry, std::wstring_view location, std::wstring_view systemDir) {
    switch (entry.kind) {
    case ListingKind::Program: {
        std::wstring folder = ProgramFolderWithSlash(location);
        return {folder, folder + entry.fileName};
    }
    case ListingKind::Template: {
        std::wstring folder = TemplateFolderWithSlash(location);
        return {folder, folder + entry.fileName};
    }
    case ListingKind::Support:
        break;
    }
    return {std::wstring(systemDir), std::wstring(systemDir) + L"\\" + entry.fileName};
}

} // namespace zunor
