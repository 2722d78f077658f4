#pragma once
// config.ini is written in the system's ANSI code page, and a shortcut file keeps its target in that
// code page too for the readers that know no other. A path the code page cannot hold is never written
// approximately: where the volume gives it a short (8.3) form that the code page holds, that form is
// written instead; otherwise nothing is.
#include <string>
#include <string_view>

#include "common/run_ports.h"

namespace zunor {

struct AnsiPath {
    std::wstring path; // what to write: the path as it is or its short form; empty when neither fits
    bool shortForm = false;
    std::wstring why; // when there is no form, why not (for the log)
};

// The form of a full path that the code page holds. Only what exists has a short form, so the last
// name the code page lacks must exist already; the names after it are written as they are. Asks
// nothing of the file system when the code page holds the path as it is.
AnsiPath AnsiFormOf(const std::wstring& path, RunFiles& files, RunSystem& system);

// The message for a location whose program folder has no such form: the characters the code page
// lacks, and the location without them as a suggestion.
std::wstring AnsiRefusalMessage(std::wstring_view location, RunSystem& system);

} // namespace zunor
