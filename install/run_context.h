#pragma once
// What every phase of the installation run shares: the ports it works through, the report's items and
// the record of what this run places, and the step names of the log.
#include <string>
#include <utility>
#include <vector>

#include "common/run_ports.h"
#include "install/install_paths.h"
#include "install/install_record.h"
#include "install/run_report.h"

namespace zunor {

struct RunContext {
    RunWindow& window;
    RunNetwork& network;
    RunFiles& files;
    RunSystem& system;
    RunRegistration& registration;
    RunLog& log;
    std::vector<FailedItem> failures;
    InstallRecord placed; // what this run placed, for the record beside what earlier runs placed

    // The user may edit the box whenever the run yields, so every use reads it again.
    std::wstring Location() const { return WithSeparator(window.ReadLocation()); }

    void Fail(FailureKind kind, std::wstring name, std::wstring reason = {}) {
        failures.push_back(FailedItem{kind, std::move(name), std::move(reason)});
    }
};

// The log's step names; the e2e tests read the log by them.
namespace runlog {
inline constexpr wchar_t kLogLocation[] = L"location";
inline constexpr wchar_t kLogFolder[] = L"folder";
inline constexpr wchar_t kLogListing[] = L"listing";
inline constexpr wchar_t kLogBadName[] = L"bad name";
inline constexpr wchar_t kLogNavigation[] = L"links passed over";
inline constexpr wchar_t kLogChecksums[] = L"checksums";
inline constexpr wchar_t kLogSignature[] = L"signature";
inline constexpr wchar_t kLogOrigin[] = L"origin";
inline constexpr wchar_t kLogFile[] = L"file";
inline constexpr wchar_t kLogCurrent[] = L"current"; // in place already, as SHA256SUMS has it: not requested
inline constexpr wchar_t kLogKept[] = L"kept";
inline constexpr wchar_t kLogRegister[] = L"register";
inline constexpr wchar_t kLogSetting[] = L"setting";
inline constexpr wchar_t kLogLayer[] = L"layer";
inline constexpr wchar_t kLogShortcut[] = L"shortcut";
inline constexpr wchar_t kLogReport[] = L"report";
inline constexpr wchar_t kLogProgress[] = L"progress";
inline constexpr wchar_t kLogConnections[] = L"connections";
inline constexpr wchar_t kLogRecord[] = L"record";
inline constexpr wchar_t kLogRunning[] = L"running";
inline constexpr wchar_t kLogLeftover[] = L"leftover";
inline constexpr wchar_t kLogShared[] = L"shared";
inline constexpr wchar_t kLogUninstaller[] = L"uninstaller";
inline constexpr wchar_t kLogEntry[] = L"entry";
inline constexpr wchar_t kLogRedirected[] =
    L"redirected"; // a folder that leads elsewhere: nothing placed in it
inline constexpr wchar_t kLogProduct[] = L"product";

inline const wchar_t* Result(bool ok) {
    return ok ? L"ok" : L"failed";
}
} // namespace runlog

} // namespace zunor
