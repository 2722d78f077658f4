#pragma once
// /UNINSTALL: removes the installed product, asking first with the window's message boxes, or without
// a question under /S. Returns the exit code.
#include "app/command_line.h"
#include "app/console_output.h"
#include "common/run_ports.h"

namespace zunor {

int RunRemoval(const CommandLine& options, RunLog& log, ConsoleOutput& console);

} // namespace zunor
