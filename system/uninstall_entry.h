#pragma once
// The product's entry in the system's list of installed programs ("Apps & features") and the
// shared-file counts of the support components, both under HKLM in the 32-bit view, where the 32-bit
// installer writes them (the 64-bit test build writes to the same place).
#include <optional>
#include <string>

#include "common/run_ports.h"

namespace zunor {

bool WriteUninstallEntry(const UninstallEntry& entry);
std::optional<std::wstring> ReadUninstallLocation();
bool DeleteUninstallEntry();  // true also when there is none
std::optional<RecordSeal> ReadRecordSeal();
bool WriteRecordSeal(const RecordSeal& seal);  // into the entry that is there

bool AddSharedUse(const std::wstring& path, bool fileWasThere);
SharedRelease ReleaseSharedUse(const std::wstring& path);

} // namespace zunor
