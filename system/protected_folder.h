#pragma once
// A folder only administrators and the system may write in, for what runs with administrator rights
// later (the removal's copy of the setup program and its record).
#include <string>

namespace zunor {

// <Program Files of 32-bit programs>\Brantovik\Zunor 2021 uklanjanje; empty when it cannot be had.
std::wstring RemovalFolderPath();

enum class Protection { Made, Kept, Reset, Failed };

// Makes folder (its parent must exist or be makeable) with a protected DACL: SYSTEM and Administrators
// full control, Users read and execute. One that is there with another owner, or with rights that let
// anyone else write, is reset to those, and the files in it go (whoever could write there may have put
// them). A folder reached through a link or junction is never touched.
Protection ProtectFolder(const std::wstring& folder);

} // namespace zunor
