#include "system/running_programs.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cwctype>

#include "system/unique_handles.h"

namespace zunor {
namespace {

std::wstring Folded(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

std::wstring ImagePath(DWORD pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) {
        return {};
    }
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) {
        return {};
    }
    path.resize(size);
    return path;
}

} // namespace

std::vector<std::wstring> RunningProgramsIn(const std::wstring& folder) {
    std::wstring prefix = Folded(folder);
    if (prefix.empty()) {
        return {};
    }
    if (prefix.back() != L'\\') {
        prefix.push_back(L'\\');
    }
    std::vector<std::wstring> found;
    const UniqueHandle snapshot = AdoptFileHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return found;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            continue;
        }
        const std::wstring path = ImagePath(entry.th32ProcessID);
        if (!path.empty() && Folded(path).starts_with(prefix)) {
            found.push_back(path);
        }
    }
    return found;
}

} // namespace zunor
