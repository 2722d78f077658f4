#pragma once
// Removal of the installed product (/UNINSTALL): what the install record names goes, the user's data
// and files stay. Written against the run's ports, like the installation run.
#include <functional>
#include <string>
#include <vector>

#include "common/run_ports.h"
#include "install/install_record.h"
#include "install/run_report.h"

namespace zunor {

struct RemovalOutcome {
    enum class End {
        NothingToRemove, // no record and no entry: nothing was done
        Stopped,         // the user said no, or the product kept running: nothing was changed
        Removed,         // done; failures lists what could not be removed
    };
    End end = End::NothingToRemove;
    std::vector<FailedItem> failures;
};

class RemovalRun {
public:
    RemovalRun(RemovalDialog& dialog, RunFiles& files, RunSystem& system, RunRegistration& registration,
               RunLog& log, std::wstring programFolder);

    // Throws RunFailure for a record it cannot read, or one the entry's seal does not vouch for (it was
    // changed after the installation). beforeRemovingCopy is called with what failed so far
    // just before the setup program's copy is removed (a copy that runs the removal lets go of it then).
    RemovalOutcome Execute(const std::function<void(const std::vector<FailedItem>&)>& beforeRemovingCopy = {});

private:
    bool Load();
    bool Confirmed();
    void RemoveShortcuts();
    void RemoveLayers();
    void RemoveFiles();
    void ReleaseComponent(const RecordEntry& component);
    void RemoveFileOrKeep(const RecordEntry& entry);
    void FinishRecord(const std::function<void(const std::vector<FailedItem>&)>& beforeRemovingCopy);
    void RemoveFolders();
    void ShowOutcome();
    void Fail(FailureKind kind, std::wstring name);

    RemovalDialog& dialog_;
    RunFiles& files_;
    RunSystem& system_;
    RunRegistration& registration_;
    RunLog& log_;
    std::wstring programFolder_;
    std::wstring recordPath_;
    InstallRecord record_;
    InstallRecord remaining_;  // what could not be removed; kept in the record for another try
    std::vector<FailedItem> failures_;
};

} // namespace zunor
