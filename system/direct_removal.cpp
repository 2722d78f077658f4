#include "system/direct_removal.h"

#include <windows.h>

#include <optional>

#include "system/known_folder.h"
#include "system/unique_handles.h"

namespace zunor {
namespace {

// Where the file system says an open file or folder is, every link on the way followed, without the
// "\\?\" prefix.
std::optional<std::wstring> FinalPath(HANDLE handle) {
    DWORD length = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
        return std::nullopt;
    }
    std::wstring path(length, L'\0');
    length = GetFinalPathNameByHandleW(handle, path.data(), length, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= path.size()) {
        return std::nullopt;
    }
    path.resize(length);
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        return L"\\\\" + path.substr(8);
    }
    if (path.starts_with(L"\\\\?\\")) {
        return path.substr(4);
    }
    return path;
}

// The length of the root of a full path: "C:\" or "\\server\share\".
std::size_t RootLength(const std::wstring& full) {
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        return 3;
    }
    if (!full.starts_with(L"\\\\")) {
        return 0;
    }
    const std::size_t server = full.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : full.find(L'\\', server + 1);
    return share == std::wstring::npos ? 0 : share + 1;
}

// Whether full lies inside folder (both full paths), or is folder.
bool StartsWithFolder(const std::wstring& full, const std::wstring& folder) {
    return full.size() >= folder.size() &&
           CompareStringOrdinal(full.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL &&
           (full.size() == folder.size() || full[folder.size()] == L'\\');
}

// Whether the open handle is what the path names, reached with no link on the way: its final path is
// the final path of the path's drive or share with the rest of the path as written. A 32-bit program on
// 64-bit Windows reaches the system folder's files through the system's own redirection, so below the
// system folder it is the system folder's final path that starts the expected one.
bool ReachedDirectly(HANDLE handle, const std::wstring& path) {
    const std::wstring full = FullPathOf(path);
    const std::wstring system = QuerySystemDirectory();
    std::wstring anchor = full.substr(0, RootLength(full));
    if (!system.empty() && StartsWithFolder(full, system)) {
        anchor = system;
    }
    if (anchor.empty()) {
        return false;
    }
    UniqueHandle anchorHandle = AdoptFileHandle(CreateFileW(
        anchor.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const std::optional<std::wstring> anchorFinal = anchorHandle ? FinalPath(anchorHandle.get()) : std::nullopt;
    const std::optional<std::wstring> final = FinalPath(handle);
    if (!anchorFinal || !final) {
        return false;
    }
    std::wstring expected = *anchorFinal;
    std::wstring rest = full.substr(anchor.size());
    if (!expected.ends_with(L'\\') && !rest.empty() && !rest.starts_with(L'\\')) {
        expected += L'\\';
    }
    expected += rest;
    while (expected.size() > 3 && expected.ends_with(L'\\')) {
        expected.pop_back();
    }
    return CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), final->c_str(),
                                static_cast<int>(final->size()), TRUE) == CSTR_EQUAL;
}

DirectRemoval OpenFailure(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return DirectRemoval::Absent;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:
        return DirectRemoval::InUse;
    default:
        return DirectRemoval::Failed;
    }
}

// Opens the last name itself (a link is not followed): a file for deleting through the handle, a folder
// only to look at (a program whose current folder it is holds it without leave to delete).
UniqueHandle OpenLastName(const std::wstring& path, bool folder) {
    const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0);
    const DWORD access = folder ? FILE_READ_ATTRIBUTES : DELETE | FILE_READ_ATTRIBUTES;
    return AdoptFileHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, flags, nullptr));
}

bool IsFolder(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

bool FolderReachedDirectly(const std::wstring& folder) {
    UniqueHandle handle = AdoptFileHandle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle && IsFolder(handle.get()) && ReachedDirectly(handle.get(), folder);
}

DirectRemoval RemoveFileDirectly(const std::wstring& path) {
    UniqueHandle file = OpenLastName(path, false);
    if (!file) {
        const DirectRemoval failure = OpenFailure(GetLastError());
        // A file already on its way out (its deletion pending) refuses to open, and is as good as gone.
        return failure == DirectRemoval::InUse && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES
                   ? DirectRemoval::Absent
                   : failure;
    }
    if (!ReachedDirectly(file.get(), path)) {
        return DirectRemoval::Redirected;
    }
    if (IsFolder(file.get())) {
        return DirectRemoval::Failed;
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
        // A running program's own file, or a read-only one.
        return GetLastError() == ERROR_ACCESS_DENIED ? DirectRemoval::InUse : DirectRemoval::Failed;
    }
    return DirectRemoval::Removed;
}

DirectRemoval RemoveFolderDirectly(const std::wstring& path) {
    {
        UniqueHandle folder = OpenLastName(path, true);
        if (!folder) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? DirectRemoval::Absent
                                                                                  : DirectRemoval::Failed;
        }
        if (!ReachedDirectly(folder.get(), path)) {
            return DirectRemoval::Redirected;
        }
        if (!IsFolder(folder.get())) {
            return DirectRemoval::Failed;
        }
    }
    // An empty folder at most, so the moment between the check and the removal risks nothing.
    if (RemoveDirectoryW(path.c_str())) {
        return DirectRemoval::Removed;
    }
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return DirectRemoval::Absent;
    case ERROR_DIR_NOT_EMPTY:
        return DirectRemoval::NotEmpty;
    default:
        return DirectRemoval::Failed;
    }
}

} // namespace zunor
