// wininfo: what host-side test scripts need to know from inside Windows, in UTF-8 "name=value" lines.
//   wininfo link LINK.lnk   the shortcut's "target=" and "workdir="; exit 1 when it cannot be read
//   wininfo system          "system=" the system folder where this build's programs see it, as the
//                           file system holds it (syswow64 for a 32-bit program on 64-bit Windows),
//                           "wow64=1" or "wow64=0", and "acp=" the ANSI code page
//   wininfo long PATH       "long=" the long form of an existing path (short names resolved); exit 1
//                           when it does not exist
//   wininfo version FILE    "version=" the file's version resource as the installer reads it; exit 1
//                           when it has none
//   wininfo writers PATH    "writers=" the SIDs its DACL lets write, add or delete (space-separated),
//                           "owner=" its owner's SID; exit 1 when they cannot be read
//   wininfo shell           "pid=" and "image=" of the process that owns the desktop shell's window
//                           (GetShellWindow(); where there is none, as under Wine, the desktop window)
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "system/file_version.h"
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

int PrintLink(const wchar_t* path) {
    const auto info = zunor::ReadShortcut(path);
    if (!info) {
        std::fprintf(stderr, "wininfo: cannot read the shortcut\n");
        return 1;
    }
    PrintLine("target", info->target);
    PrintLine("workdir", info->workingDir);
    return 0;
}

int PrintSystem() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    // GetSystemDirectory names system32 for every process; a 32-bit one on 64-bit Windows is
    // redirected to the WoW64 folder when it writes there.
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT n = wow64 ? GetSystemWow64DirectoryW(folder, MAX_PATH + 1) : GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) {
        std::fprintf(stderr, "wininfo: no system folder\n");
        return 1;
    }
    PrintLine("system", folder);
    PrintLine("wow64", wow64 ? L"1" : L"0");
    PrintLine("acp", std::to_wstring(GetACP()));
    return 0;
}

int PrintLong(const wchar_t* path) {
    std::wstring out(32768, L'\0');
    const DWORD n = GetLongPathNameW(path, out.data(), static_cast<DWORD>(out.size()));
    if (n == 0 || n >= out.size()) {
        std::fprintf(stderr, "wininfo: no such path\n");
        return 1;
    }
    out.resize(n);
    PrintLine("long", out);
    return 0;
}

int PrintVersion(const wchar_t* path) {
    const std::wstring version = zunor::FileVersion(path);
    if (version.empty()) {
        std::fprintf(stderr, "wininfo: no version resource\n");
        return 1;
    }
    PrintLine("version", version);
    return 0;
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"?";
    std::wstring out = text;
    LocalFree(text);
    return out;
}

int PrintWriters(const wchar_t* path) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        std::fprintf(stderr, "wininfo: no security information\n");
        return 1;
    }
    constexpr DWORD kWrite = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                             FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    std::wstring writers = dacl ? L"" : L"S-1-1-0"; // no DACL: everyone
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(dacl, i, &ace) && static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask & kWrite))
            writers += (writers.empty() ? L"" : L" ") +
                       SidText(reinterpret_cast<PSID>(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart));
    }
    PrintLine("writers", writers);
    PrintLine("owner", owner ? SidText(owner) : L"");
    LocalFree(descriptor);
    return 0;
}

int PrintShell() {
    // Wine's desktop process (explorer.exe /desktop) owns the desktop window and sets no shell window;
    // on Windows the shell window's owner is the shell.
    DWORD pid = 0;
    HWND shell = GetShellWindow();
    PrintLine("window", shell ? L"shell" : L"desktop");
    GetWindowThreadProcessId(shell ? shell : GetDesktopWindow(), &pid);
    std::wstring image;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); pid && more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == pid) image = entry.szExeFile;
    }
    CloseHandle(snapshot);
    PrintLine("pid", std::to_wstring(pid));
    PrintLine("image", image);
    return pid ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY); // "\n" line ends, whatever reads them
    int code = 2;
    if (argc == 3 && std::wstring(argv[1]) == L"link") {
        code = PrintLink(argv[2]);
    } else if (argc == 2 && std::wstring(argv[1]) == L"system") {
        code = PrintSystem();
    } else if (argc == 3 && std::wstring(argv[1]) == L"long") {
        code = PrintLong(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"version") {
        code = PrintVersion(argv[2]);
    } else if (argc == 3 && std::wstring(argv[1]) == L"writers") {
        code = PrintWriters(argv[2]);
    } else if (argc == 2 && std::wstring(argv[1]) == L"shell") {
        code = PrintShell();
    } else {
        std::fprintf(stderr, "usage: wininfo link LINK.lnk | wininfo system | wininfo long PATH"
                             " | wininfo version FILE\n");
    }
    std::fflush(stdout);
    return code;
}
