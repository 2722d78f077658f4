// lnkinfo LINK.lnk: prints the shortcut's target and working directory as "target=<path>" and
// "workdir=<path>" lines in UTF-8, so host-side test scripts can check them. Exit code 1 when the
// shortcut cannot be read.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "system/shortcut.h"

namespace {

void PrintLine(const char* label, const std::wstring& value) {
    std::string utf8;
    if (!value.empty()) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, value.c_str(), static_cast<int>(value.size()), nullptr,
                                          0, nullptr, nullptr);
        utf8.resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_UTF8, 0, value.c_str(), static_cast<int>(value.size()), utf8.data(), n,
                            nullptr, nullptr);
    }
    std::printf("%s=%s\n", label, utf8.c_str());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lnkinfo LINK.lnk\n");
        return 2;
    }
    _setmode(_fileno(stdout), _O_BINARY); // "\n" line ends, whatever reads them
    const auto info = zunor::ReadShortcut(argv[1]);
    if (!info) {
        std::fprintf(stderr, "lnkinfo: cannot read the shortcut\n");
        return 1;
    }
    PrintLine("target", info->target);
    PrintLine("workdir", info->workingDir);
    std::fflush(stdout);
    return 0;
}
