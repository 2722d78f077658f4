#pragma once
// The installer's switches, in the style of the common Windows installers:
//   ZunorSetup.exe [/S] [/SERVER=<origin>[;<origin>...]] [/LOG=<file>] [/NODESKTOP] [/NOGROUP] [/LAUNCH] [/CONNECTIONS=<n>]
//                  [/REPAIR] [/D=<location>]
//   ZunorSetup.exe /LIST [/SERVER=<origin>] [/LOG=<file>] [/REPAIR] [/D=<location>]   (the plan only)
//   ZunorSetup.exe /UNINSTALL [/S] [/LOG=<file>] [/D=<location>]            (removes the product)
// Case-insensitive. /D= comes last and takes the rest of the line, spaces included.
#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <string_view>

#include "common/transfer_options.h"

namespace zunor {

struct CommandLine {
    bool silent = false;    // /S
    bool list = false;      // /LIST: print the plan, install nothing
    bool uninstall = false; // /UNINSTALL: remove the installed product
    bool noDesktop = false;
    bool noGroup = false;
    bool launch = false;
    bool repair = false;    // /REPAIR: every file fetched again, whatever is in place
    std::size_t connections = kDefaultConnections; // /CONNECTIONS=: files fetched at once
    std::optional<std::wstring> server;    // checked https origins, ";" between mirrors
    std::optional<std::wstring> logFile;
    std::optional<std::wstring> location;  // /D=
    // /FROMCOPY=<pipe>,<process>: this is the temporary copy that a removal started from the product's
    // own folder runs as; the two handles (inherited) tell the original its exit code and when it ended.
    std::optional<std::pair<std::uintptr_t, std::uintptr_t>> fromCopy;
};

struct CommandLineResult {
    std::optional<CommandLine> options;  // set when the line is good
    std::wstring error;                  // otherwise the message naming the bad switch
};

// Parses the arguments, that is the command line without the program's own name.
CommandLineResult ParseCommandLine(std::wstring_view arguments);

// Skips the program name at the start of a full command line (GetCommandLineW) by the rules Windows
// uses for argv[0]: a quoted name runs to the next quote, an unquoted one to the first blank.
std::wstring_view ArgumentsOf(std::wstring_view fullCommandLine);

// True for "https://" + host + optional ":port", nothing after.
bool IsHttpsOrigin(std::wstring_view text);
// One such origin, or several separated by ";" (mirrors, tried in that order).
bool IsHttpsOriginList(std::wstring_view text);

}  // namespace zunor
