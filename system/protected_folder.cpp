#include "system/protected_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "common/texts.h"
#include "system/direct_removal.h"
#include "system/known_folder.h"
#include "system/unique_handles.h"

namespace zunor {
namespace {

// SYSTEM and Administrators full control, Users read and execute; nothing inherited from above.
constexpr wchar_t kProtected[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                               FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                               GENERIC_ALL;

struct LocalMemory {
    void* memory = nullptr;
    ~LocalMemory() {
        if (memory)
            LocalFree(memory);
    }
};

// The account this program runs as: an administrator, who may write there anyway.
bool IsOwnAccount(PSID sid) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    UniqueHandle token(raw);
    alignas(TOKEN_USER) unsigned char buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size))
        return false;
    return EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, sid) != FALSE;
}

bool Trusted(PSID sid) {
    return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsOwnAccount(sid);
}

// Owned by an administrator or the system, and nobody else may write, add or delete in it.
bool OnlyAdministratorsWrite(const std::wstring& folder) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    LocalMemory descriptor;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                              nullptr, &descriptor.memory) != ERROR_SUCCESS)
        return false;
    if (!owner || !Trusted(owner) || !dacl)
        return false; // no DACL at all lets everyone in
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false; // nothing we would have written
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWriteRights) && !Trusted(reinterpret_cast<PSID>(&allowed->SidStart)))
            return false;
    }
    return true;
}

// Whoever could write in the folder may have put files there; they go before ours come.
void RemoveFilesIn(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            RemoveFileDirectly(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace

std::wstring RemovalFolderPath() {
    // The 32-bit programs' folder: "Program Files (x86)" on 64-bit Windows, "Program Files" otherwise
    // (what a 32-bit program is told its Program Files is).
#ifdef _WIN64
    const std::optional<std::wstring> programFiles = ShellFolderPath(CSIDL_PROGRAM_FILESX86);
#else
    const std::optional<std::wstring> programFiles = ShellFolderPath(CSIDL_PROGRAM_FILES);
#endif
    if (!programFiles || programFiles->empty())
        return {};
    return *programFiles + L"\\" + texts::kRemovalFolder;
}

Protection ProtectFolder(const std::wstring& folder) {
    const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\'));
    // Program Files' own rights pass on to a new parent.
    if (GetFileAttributesW(parent.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryW(parent.c_str(), nullptr);
    if (!FolderReachedDirectly(parent))
        return Protection::Failed;
    LocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtected, SDDL_REVISION_1, &descriptor.memory,
                                                              nullptr))
        return Protection::Failed;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.memory, FALSE};
    bool made = CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
        return Protection::Failed;
    if (!FolderReachedDirectly(folder))
        return Protection::Failed;
    if (OnlyAdministratorsWrite(folder))
        return made ? Protection::Made : Protection::Kept;

    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.memory, &present, &dacl, &defaulted) || !present)
        return Protection::Failed;
    alignas(SID) unsigned char administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size))
        return Protection::Failed;
    const SECURITY_INFORMATION dacl_only = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
    // The owner may always change the rights again, so it becomes Administrators where the system lets
    // us say so; where it does not (Wine), the owner must be one we trust already.
    if (SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                              dacl_only | OWNER_SECURITY_INFORMATION, administrators, nullptr, dacl,
                              nullptr) != ERROR_SUCCESS &&
        SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, dacl_only, nullptr,
                              nullptr, dacl, nullptr) != ERROR_SUCCESS)
        return Protection::Failed;
    if (!OnlyAdministratorsWrite(folder))
        return Protection::Failed;
    RemoveFilesIn(folder);
    return made ? Protection::Made : Protection::Reset;
}

} // namespace zunor
