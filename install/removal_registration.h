#pragma once
// What lets the product be removed again: the shared counts of new components, a copy of this setup
// program and the record of everything placed by any run in the removal folder, and the entry in the
// system's list of installed programs that runs the copy, sealing the record.
#include <cstdint>
#include <string>
#include <vector>

#include "install/install_record.h"
#include "install/run_context.h"

namespace zunor {

class RemovalRegistration {
public:
    // earlier: what earlier runs placed, read at earlierRecordPath. componentsFoundThere: components
    // new to the record that were already in the system folder.
    RemovalRegistration(RunContext& run, const InstallRecord& earlier, const std::wstring& earlierRecordPath,
                        const std::vector<std::wstring>& componentsFoundThere)
        : run_(run), earlier_(earlier), earlierRecordPath_(earlierRecordPath),
          componentsFoundThere_(componentsFoundThere) {}

    void Register();

private:
    void RemoveOldRemovalFiles(InstallRecord& record);
    void CountSharedUses();
    bool CopyUninstaller(const std::wstring& copy);
    bool WriteUninstallEntry(const std::wstring& copy, std::uint64_t bytes);

    RunContext& run_;
    const InstallRecord& earlier_;
    const std::wstring& earlierRecordPath_;
    const std::vector<std::wstring>& componentsFoundThere_;
};

} // namespace zunor
