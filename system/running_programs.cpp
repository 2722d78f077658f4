#include "system/running_programs.h"

#include <windows.h>

#include <restartmanager.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

#include "system/loaded_on_use.h"
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

void AddOnce(std::vector<std::wstring>& found, const std::wstring& path) {
    const std::wstring folded = Folded(path);
    if (std::none_of(found.begin(), found.end(), [&](const std::wstring& p) { return Folded(p) == folded; })) {
        found.push_back(path);
    }
}

// The Restart Manager also knows processes that run from elsewhere but hold the folder's programs or
// libraries (Wine's only pretends to know, so the snapshot below stays).
void AddRestartManagerUsers(const std::wstring& folder, std::vector<std::wstring>& found) {
    std::vector<std::wstring> files;
    for (const wchar_t* pattern : {L"\\*.exe", L"\\*.dll"}) {
        WIN32_FIND_DATAW data{};
        HANDLE search = FindFirstFileW((folder + pattern).c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            continue;
        }
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                files.push_back(folder + L"\\" + data.cFileName);
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    const onUse::BorrowedLibrary library(L"rstrtmgr.dll");
    const auto start = library.Get<decltype(&::RmStartSession)>("RmStartSession");
    const auto registerFiles = library.Get<decltype(&::RmRegisterResources)>("RmRegisterResources");
    const auto list = library.Get<decltype(&::RmGetList)>("RmGetList");
    const auto end = library.Get<decltype(&::RmEndSession)>("RmEndSession");
    if (files.empty() || !start || !registerFiles || !list || !end) {
        return;
    }
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start(&session, 0, key) != ERROR_SUCCESS) {
        return;
    }
    std::vector<LPCWSTR> names;
    for (const std::wstring& file : files) {
        names.push_back(file.c_str());
    }
    std::vector<RM_PROCESS_INFO> processes(16);
    UINT needed = 0;
    UINT count = static_cast<UINT>(processes.size());
    DWORD reasons = 0;
    if (registerFiles(session, static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0, nullptr) ==
        ERROR_SUCCESS) {
        DWORD rc = list(session, &needed, &count, processes.data(), &reasons);
        if (rc == ERROR_MORE_DATA) {
            processes.resize(needed);
            count = needed;
            rc = list(session, &needed, &count, processes.data(), &reasons);
        }
        for (UINT i = 0; rc == ERROR_SUCCESS && i < count && i < processes.size(); ++i) {
            const DWORD pid = processes[i].Process.dwProcessId;
            const std::wstring path = pid == GetCurrentProcessId() ? std::wstring() : ImagePath(pid);
            if (!path.empty()) {
                AddOnce(found, path);
            }
        }
    }
    end(session);
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
            AddOnce(found, path);
        }
    }
    std::wstring base = folder;
    while (!base.empty() && base.back() == L'\\') {
        base.pop_back();
    }
    AddRestartManagerUsers(base, found);
    return found;
}

} // namespace zunor
