#pragma once
// Shell shortcuts (.lnk) through the shell's own link object.
#include <optional>
#include <string>

namespace zunor {

// Writes a shortcut at linkPath (replacing one that is there) with only its target and working
// directory set. False on any failure, e.g. a missing folder; never throws.
bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target, const std::wstring& workingDir);

struct ShortcutInfo {
    std::wstring target;
    std::wstring workingDir;
};

// A shortcut's target and working directory as stored; nothing when it cannot be read.
std::optional<ShortcutInfo> ReadShortcut(const std::wstring& linkPath);

} // namespace zunor
