#pragma once
// The installer's own memory use, logged at the end of an unattended run so that it can be judged
// (it must stay flat whatever the size of the files).
#include <string>

namespace zunor {

// "peak working set <n> KiB", or an empty text when the system does not say.
std::wstring PeakWorkingSetText();

} // namespace zunor
