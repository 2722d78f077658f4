#include "install/removal_registration.h"

#include <algorithm>
#include <utility>

#include "common/texts.h"
#include "install/install_paths.h"
#include "install/record_rules.h"

namespace zunor {

using namespace runlog; // the log's step names

// What lets the product be removed again: the shared counts of new components, a copy of this setup
// program and the record of everything placed by any run in the removal folder (the entry runs the copy
// with administrator rights, so it lies where only administrators write, whatever the location), and
// the entry in the system's list of installed programs that runs the copy.
void RemovalRegistration::Register() {
    const std::wstring folder = run_.registration.RemovalFolder();
    const std::wstring copy = folder + L"\\" + texts::kUninstallerFile;
    for (RecordEntry& entry : run_.placed.entries) {
        if (entry.kind != RecordKind::Folder && entry.kind != RecordKind::Layer) {
            entry.size = run_.files.FileSize(entry.path).value_or(0);
        }
    }
    CountSharedUses();
    const bool protectedFolder = run_.registration.ProtectRemovalFolder();
    run_.log.Write(kLogUninstaller,
                   folder + L": " + (protectedFolder ? L"only administrators write" : L"cannot be made so"));
    if (!protectedFolder) {
        // Neither the copy nor the record goes where others could change them.
        run_.Fail(FailureKind::Uninstaller, copy);
        run_.Fail(FailureKind::Record, folder + L"\\" + texts::kRecordFile);
        return;
    }
    run_.placed.Add(RecordKind::Folder, folder);
    const bool copied = CopyUninstaller(copy);
    InstallRecord record = earlier_;
    record.Merge(run_.placed);
    if (copied) {
        RemoveOldRemovalFiles(record);
    }
    const std::wstring recordPath = folder + L"\\" + texts::kRecordFile;
    const std::string text = FormatRecord(record);
    const bool written = run_.files.WriteFile(recordPath, text);
    run_.log.Write(kLogRecord, recordPath + L": " + std::to_wstring(record.entries.size()) + L" entries, " +
                                   Result(written));
    if (!written) {
        run_.Fail(FailureKind::Record, recordPath);
    }
    // The entry runs the copy, so it is written only where a copy is there to run. It keeps the seal of
    // the record just written (the bytes in hand, not what lies on disk by now).
    if (!copied && !run_.files.FileExists(copy)) {
        run_.Fail(FailureKind::UninstallEntry, texts::kUninstallKey);
    } else if (WriteUninstallEntry(copy, record.TotalBytes()) && written) {
        const bool sealed = run_.registration.WriteRecordSeal(SealOf(text));
        run_.log.Write(kLogRecord, recordPath + L": sealed in the entry " + Result(sealed));
        if (!sealed) {
            run_.Fail(FailureKind::UninstallEntry, texts::kUninstallKey);
        }
    }
}

// An earlier version kept the copy and the record beside the product: the new ones are in the removal
// folder now, so those go (what cannot go stays in the record, for the removal to take).
void RemovalRegistration::RemoveOldRemovalFiles(InstallRecord& record) {
    const std::wstring oldCopy = ProgramFilePath(run_.Location(), texts::kUninstallerFile);
    const std::wstring oldRecord = ProgramFilePath(run_.Location(), texts::kRecordFile);
    for (const std::wstring& path : {oldCopy, oldRecord}) {
        const bool ours = SamePath(path, oldRecord) ? SamePath(earlierRecordPath_, oldRecord)
                                                    : record.Has(RecordKind::Uninstaller, oldCopy);
        if (!ours) {
            continue;
        }
        const RunFiles::Removal removal = run_.files.RemoveFile(path);
        const bool gone = removal == RunFiles::Removal::Removed || removal == RunFiles::Removal::Absent;
        run_.log.Write(kLogUninstaller,
                       path + (gone ? L": moved to the removal folder" : L": could not be removed"));
        if (gone) {
            std::erase_if(record.entries,
                          [&](const RecordEntry& entry) { return SamePath(entry.path, path); });
        }
    }
}

// Once per component and product: an update that places it again does not count it again. A
// component whose count could not be raised is left out of the record, so removal never lowers it.
void RemovalRegistration::CountSharedUses() {
    std::vector<RecordEntry> kept;
    for (const RecordEntry& entry : run_.placed.entries) {
        if (entry.kind == RecordKind::Component && !earlier_.Has(RecordKind::Component, entry.path)) {
            const bool wasThere = std::find(componentsFoundThere_.begin(), componentsFoundThere_.end(),
                                            entry.path) != componentsFoundThere_.end();
            const bool counted = run_.registration.AddSharedUse(entry.path, wasThere);
            run_.log.Write(kLogShared,
                           entry.path + (wasThere ? L": found there, " : L": ") + Result(counted));
            if (!counted) {
                run_.Fail(FailureKind::SharedCount, entry.path);
                continue;
            }
        }
        kept.push_back(entry);
    }
    run_.placed.entries = std::move(kept);
}

bool RemovalRegistration::CopyUninstaller(const std::wstring& copy) {
    const bool copied = run_.registration.CopySetupProgram(copy);
    run_.log.Write(kLogUninstaller, copy + L": " + Result(copied));
    if (!copied) {
        run_.Fail(FailureKind::Uninstaller, copy);
        return false;
    }
    run_.placed.Add(RecordKind::Uninstaller, copy, run_.files.FileSize(copy).value_or(0));
    return true;
}

bool RemovalRegistration::WriteUninstallEntry(const std::wstring& copy, std::uint64_t bytes) {
    const std::wstring location = run_.Location();
    const std::wstring product = ProgramFilePath(location, texts::kProductExe);
    UninstallEntry entry;
    entry.displayName = texts::kDisplayName;
    entry.publisher = texts::kPublisher;
    entry.displayVersion = run_.registration.FileVersion(product);
    if (entry.displayVersion.empty()) {
        entry.displayVersion = run_.registration.SetupVersion();
    }
    entry.displayIcon = product;
    entry.installLocation = ProgramFolder(location);
    entry.installDate = run_.registration.Today();
    entry.estimatedSizeKiB =
        static_cast<std::uint32_t>(std::min<std::uint64_t>((bytes + 1023) / 1024, 0xFFFFFFFFu));
    entry.uninstallString = L"\"" + copy + L"\" " + texts::kUninstallSwitch;
    entry.quietUninstallString = entry.uninstallString + L" " + texts::kSilentSwitch;
    const bool written = run_.registration.WriteUninstallEntry(entry);
    run_.log.Write(kLogEntry, std::wstring(texts::kUninstallKey) + L": " + Result(written));
    if (!written) {
        run_.Fail(FailureKind::UninstallEntry, texts::kUninstallKey);
    }
    return written;
}

} // namespace zunor
