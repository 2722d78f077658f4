#include "install/removal_run.h"

#include <algorithm>
#include <utility>

#include "common/texts.h"
#include "install/install_paths.h"
#include "install/record_rules.h"
#include "install/run_failure.h"

namespace zunor {
namespace {

// Log step names.
constexpr wchar_t kLogRemove[] = L"remove";
constexpr wchar_t kLogKept[] = L"kept";
constexpr wchar_t kLogUnregister[] = L"unregister";
constexpr wchar_t kLogShared[] = L"shared";
constexpr wchar_t kLogLayer[] = L"layer";
constexpr wchar_t kLogFolder[] = L"folder";
constexpr wchar_t kLogRecord[] = L"record";
constexpr wchar_t kLogEntry[] = L"entry";
constexpr wchar_t kLogReport[] = L"report";

constexpr int kErrorInvalidData = 13;

const wchar_t* RemovalText(RunFiles::Removal removal) {
    switch (removal) {
    case RunFiles::Removal::Removed:
        return L"removed";
    case RunFiles::Removal::Absent:
        return L"already gone";
    case RunFiles::Removal::InUse:
        return L"in use";
    case RunFiles::Removal::Failed:
        return L"failed";
    case RunFiles::Removal::Redirected:
        return L"leads elsewhere (a link on the way), not touched";
    }
    return L"failed";
}

bool Gone(RunFiles::Removal removal) {
    return removal == RunFiles::Removal::Removed || removal == RunFiles::Removal::Absent;
}

} // namespace

RemovalRun::RemovalRun(RemovalDialog& dialog, RunFiles& files, RunSystem& system,
                       RunRegistration& registration, RunLog& log, std::wstring programFolder)
    : dialog_(dialog), files_(files), system_(system), registration_(registration), log_(log),
      programFolder_(std::move(programFolder)), recordPath_(programFolder_ + L"\\" + texts::kRecordFile) {}

RemovalOutcome
RemovalRun::Execute(const std::function<void(const std::vector<FailedItem>&)>& beforeRemovingCopy) {
    if (!Load()) {
        log_.Write(kLogReport, texts::kRemoveNothing);
        dialog_.ShowMessage(texts::kRemoveNothing);
        return {RemovalOutcome::End::NothingToRemove, {}};
    }
    if (!Confirmed()) {
        log_.Write(kLogReport, texts::kRemoveStopped);
        return {RemovalOutcome::End::Stopped, {}};
    }
    RemoveShortcuts();
    RemoveLayers();
    RemoveFiles();
    for (const RecordEntry& component : record_.Of(RecordKind::Component)) {
        ReleaseComponent(component);
    }
    FinishRecord(beforeRemovingCopy);
    ShowOutcome();
    return {RemovalOutcome::End::Removed, failures_};
}

// An entry whose folder is gone still deserves removing; without record and entry there is nothing.
// The record is in the removal folder; an earlier version kept it beside the product, where standard
// users may write. It must be the one the entry's seal vouches for, and even so only what an
// installation can have made is taken from it.
bool RemovalRun::Load() {
    const std::wstring kept = registration_.RemovalFolder() + L"\\" + texts::kRecordFile;
    if (files_.FileExists(kept)) {
        recordPath_ = kept;
    }
    const std::optional<std::string> text = files_.ReadFile(recordPath_);
    if (!text) {
        const bool entry = registration_.UninstallLocation().has_value();
        log_.Write(kLogRecord, recordPath_ + (entry ? L": absent, the entry is there" : L": absent"));
        return entry;
    }
    const std::optional<RecordSeal> seal = registration_.ReadRecordSeal();
    if (seal && *seal != SealOf(*text)) {
        log_.Write(kLogRecord, recordPath_ + L": changed after the installation (the entry's seal is " +
                                   std::to_wstring(seal->size) + L" bytes, " + seal->sha256 + L")");
        throw RunFailure{kErrorInvalidData, texts::kRecordChanged, texts::kContextFile + recordPath_};
    }
    std::optional<InstallRecord> record = ParseRecord(*text);
    if (!record) {
        log_.Write(kLogRecord, recordPath_ + L": damaged");
        throw RunFailure{kErrorInvalidData, texts::kRecordDamaged, texts::kContextFile + recordPath_};
    }
    log_.Write(kLogRecord, recordPath_ + L": " + std::to_wstring(record->entries.size()) + L" entries, " +
                               (seal ? L"sealed" : L"no seal (an earlier version's)"));
    const InstallBounds bounds{programFolder_, system_.SystemDir(), system_.DesktopDirectory(),
                               system_.ProgramGroupFolder(), registration_.RemovalFolder()};
    for (RecordEntry& entry : record->entries) {
        if (InstallCanHaveMade(entry, bounds)) {
            record_.entries.push_back(std::move(entry));
        } else {
            log_.Write(kLogRecord, entry.path + L": no installation makes this, not touched");
            Fail(FailureKind::NotOfInstallation, entry.path);
        }
    }
    return true;
}

// The question first; then the product must not be running from the folder that goes away.
bool RemovalRun::Confirmed() {
    if (!dialog_.Confirm(texts::kRemoveQuestion)) {
        return false;
    }
    for (;;) {
        std::vector<std::wstring> running = system_.RunningPrograms(programFolder_);
        // The setup program's copy is what runs this removal (it waits for it).
        std::erase_if(running,
                      [&](const std::wstring& path) { return record_.Has(RecordKind::Uninstaller, path); });
        if (running.empty()) {
            return true;
        }
        std::wstring problem = texts::kProductRunning;
        for (const std::wstring& program : running) {
            log_.Write(L"running", program);
            problem += program + L"\r\n";
        }
        if (!dialog_.Retry(problem)) {
            dialog_.ShowMessage(texts::kRemoveStopped);
            return false;
        }
    }
}

void RemovalRun::RemoveShortcuts() {
    for (const RecordEntry& link : record_.Of(RecordKind::Shortcut)) {
        RemoveFileOrKeep(link);
    }
}

// A mark that no longer holds what the installer wrote was changed since, by the user; it stays.
void RemovalRun::RemoveLayers() {
    for (const RecordEntry& layer : record_.Of(RecordKind::Layer)) {
        if (system_.ReadLayer(layer.path, L"") != texts::kLayerData) {
            log_.Write(kLogLayer, layer.path + L": changed since, kept");
            continue;
        }
        const bool deleted = system_.DeleteLayer(layer.path);
        log_.Write(kLogLayer, layer.path + (deleted ? L": removed" : L": failed"));
        if (!deleted) {
            remaining_.Add(RecordKind::Layer, layer.path);
            Fail(FailureKind::LayerNotRemoved, layer.path);
        }
    }
}

void RemovalRun::RemoveFiles() {
    for (const RecordEntry& entry : record_.entries) {
        if (entry.kind == RecordKind::File || entry.kind == RecordKind::Setting) {
            RemoveFileOrKeep(entry);
        } else if (entry.kind == RecordKind::Data) {
            log_.Write(kLogKept, entry.path);
        }
    }
}

// The count goes down by one; only the last user unregisters and deletes the component, and one that
// is loaded somewhere goes when the computer restarts.
void RemovalRun::ReleaseComponent(const RecordEntry& component) {
    const SharedRelease release = registration_.ReleaseSharedUse(component.path);
    switch (release) {
    case SharedRelease::StillUsed:
        log_.Write(kLogShared, component.path + L": still used by other programs, kept");
        return;
    case SharedRelease::Missing:
        log_.Write(kLogShared, component.path + L": no count, not touched");
        Fail(FailureKind::NotOfInstallation, component.path);
        return;
    case SharedRelease::Failed:
        log_.Write(kLogShared, component.path + L": count not written");
        remaining_.Add(RecordKind::Component, component.path, component.size);
        Fail(FailureKind::SharedCount, component.path);
        return;
    case SharedRelease::LastUse:
        break;
    }
    log_.Write(kLogShared, component.path + L": last use");
    const bool unregistered = system_.UnregisterComponent(component.path);
    log_.Write(kLogUnregister, component.path + (unregistered ? L": ok" : L": failed"));
    if (!unregistered) {
        Fail(FailureKind::NotUnregistered, NameOf(component.path));
    }
    const RunFiles::Removal removal = files_.RemoveFile(component.path);
    log_.Write(kLogRemove, component.path + L": " + RemovalText(removal));
    if (Gone(removal)) {
        return;
    }
    if (removal == RunFiles::Removal::Redirected) {
        Fail(FailureKind::NotOfInstallation, component.path);
        return;
    }
    const bool scheduled = removal == RunFiles::Removal::InUse && files_.RemoveAtRestart(component.path);
    log_.Write(kLogRemove, component.path + (scheduled ? L": at the next restart" : L": kept"));
    Fail(scheduled ? FailureKind::RemovedAtRestart : FailureKind::NotRemoved, component.path);
}

void RemovalRun::RemoveFileOrKeep(const RecordEntry& entry) {
    const RunFiles::Removal removal = files_.RemoveFile(entry.path);
    log_.Write(kLogRemove, entry.path + L": " + RemovalText(removal));
    if (removal == RunFiles::Removal::Redirected) {
        Fail(FailureKind::NotOfInstallation, entry.path);
    } else if (!Gone(removal)) {
        remaining_.Add(entry.kind, entry.path, entry.size);
        Fail(FailureKind::NotRemoved, entry.path);
    }
}

// When something stayed, the entry, the copy and a record of what stayed remain for another try.
void RemovalRun::FinishRecord(const std::function<void(const std::vector<FailedItem>&)>& beforeRemovingCopy) {
    if (!remaining_.empty()) {
        for (const RecordKind kind : {RecordKind::Data, RecordKind::Folder, RecordKind::Uninstaller}) {
            for (const RecordEntry& entry : record_.Of(kind)) {
                remaining_.Add(entry.kind, entry.path, entry.size);
            }
        }
        const std::string text = FormatRecord(remaining_);
        const bool written = files_.WriteFile(recordPath_, text);
        log_.Write(kLogRecord, recordPath_ + (written ? L": what stayed" : L": failed"));
        if (written && !registration_.WriteRecordSeal(SealOf(text))) {
            log_.Write(kLogEntry, std::wstring(texts::kUninstallKey) + L": seal failed");
            Fail(FailureKind::UninstallEntry, texts::kUninstallKey);
        }
        return;
    }
    const bool deleted = registration_.DeleteUninstallEntry();
    log_.Write(kLogEntry, std::wstring(texts::kUninstallKey) + (deleted ? L": removed" : L": failed"));
    if (!deleted) {
        Fail(FailureKind::EntryNotRemoved, texts::kUninstallKey);
    }
    RemoveFileOrKeep(RecordEntry{RecordKind::File, recordPath_, 0});
    if (beforeRemovingCopy) {
        beforeRemovingCopy(failures_);
    }
    for (const RecordEntry& copy : record_.Of(RecordKind::Uninstaller)) {
        RemoveFileOrKeep(copy);
    }
    RemoveFolders();
}

// Deepest first, so a folder's own folders are gone before it is tried. One that still holds
// something (the database, the user's files) stays.
void RemovalRun::RemoveFolders() {
    std::vector<RecordEntry> folders = record_.Of(RecordKind::Folder);
    std::stable_sort(folders.begin(), folders.end(), [](const RecordEntry& a, const RecordEntry& b) {
        return a.path.size() > b.path.size();
    });
    for (const RecordEntry& folder : folders) {
        const RunFiles::FolderRemoval removal = files_.RemoveFolder(folder.path);
        switch (removal) {
        case RunFiles::FolderRemoval::Removed:
        case RunFiles::FolderRemoval::Absent:
            log_.Write(kLogFolder, folder.path + L": removed");
            break;
        case RunFiles::FolderRemoval::NotEmpty:
            log_.Write(kLogFolder, folder.path + L": not empty, kept");
            break;
        case RunFiles::FolderRemoval::Failed:
            log_.Write(kLogFolder, folder.path + L": failed");
            Fail(FailureKind::NotRemoved, folder.path);
            break;
        case RunFiles::FolderRemoval::Redirected:
            log_.Write(kLogFolder, folder.path + L": leads elsewhere (a link on the way), not touched");
            Fail(FailureKind::NotOfInstallation, folder.path);
            break;
        }
    }
}

void RemovalRun::ShowOutcome() {
    std::wstring text = failures_.empty() ? std::wstring(texts::kRemoveDone)
                                          : FormatReport(failures_, texts::kRemoveIncompleteHeader);
    for (const FailedItem& item : failures_) {
        log_.Write(kLogReport, FormatItem(item));
    }
    if (files_.PathExists(programFolder_)) {
        text += std::wstring(L"\r\n\r\n") + texts::kRemoveKeptIn + programFolder_;
    }
    if (failures_.empty()) {
        log_.Write(kLogReport, texts::kRemoveDone);
    }
    dialog_.ShowMessage(text);
}

void RemovalRun::Fail(FailureKind kind, std::wstring name) {
    failures_.push_back(FailedItem{kind, std::move(name), {}});
}

} // namespace zunor
