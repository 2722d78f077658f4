#pragma once
// The install record lies in the program folder, which standard users can often write (any location
// outside Program Files), and the removal runs with administrator rights. So each entry is taken only if
// an installation of Zunor 2021 can have made it, whatever else vouches for the record.
#include <optional>
#include <string>
#include <string_view>

#include "install/install_record.h"

namespace zunor {

// Where an installation puts what it places, on this computer.
struct InstallBounds {
    std::wstring programFolder; // location\zunor2021
    std::wstring systemFolder;
    std::wstring desktopFolder;
    std::wstring groupFolder;   // the program group's folder
    std::wstring removalFolder; // where the setup program's copy and the record are kept
};

// The full, canonical form of a path: a drive ("C:\...") or a share ("\\server\share\..."), one
// backslash between names, none at the end. nullopt when a name in it is not a plain one (".", "..", a
// device name, a character Windows forbids such as ":", a closing dot or space).
std::optional<std::wstring> CanonicalPath(std::wstring_view path);

// Whether path lies inside folder, at any depth (both made canonical; names compare as Windows does).
bool LiesInside(std::wstring_view folder, std::wstring_view path);

// Files, data, settings and folders inside the program folder, the copy of the setup program in the
// removal folder (or, as earlier versions kept it, beside the product), the removal folder; the folders an installation makes (the location, the program group's folder); shortcuts (.lnk)
// on the desktop or in the program group; compatibility marks of programs in the program folder;
// components in the system folder.
bool InstallCanHaveMade(const RecordEntry& entry, const InstallBounds& bounds);

} // namespace zunor
