#pragma once
// Removing what a path names, when the path comes from a file that others may edit (the install
// record): only when the path reaches it without a link or junction on the way (which could lead from
// a folder a standard user can write into the system's own), and through the very handle that was
// checked, so that nothing can be swapped in between.
#include <string>

namespace zunor {

enum class DirectRemoval { Removed, Absent, InUse, NotEmpty, Failed, Redirected };

// Whether the folder (opened by handle, every link followed) is where its path says: no link or
// junction anywhere on the way. False also when it cannot be opened.
bool FolderReachedDirectly(const std::wstring& folder);

DirectRemoval RemoveFileDirectly(const std::wstring& path);
DirectRemoval RemoveFolderDirectly(const std::wstring& path); // only an empty one

} // namespace zunor
