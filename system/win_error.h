#pragma once
#include <string>

namespace zunor {
// The system's own text for an error code, one line, without the trailing full stop and line end;
// empty when the system has none.
std::wstring SystemErrorText(unsigned long code);
}  // namespace zunor
