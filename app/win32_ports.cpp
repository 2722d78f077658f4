#include "app/win32_ports.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

#include "download/modsetup.h"
#include "download/proxy_credentials.h"
#include "generated/version.h"
#include "system/desktop_folder.h"
#include "system/direct_removal.h"
#include "system/file_version.h"
#include "system/known_folder.h"
#include "system/layer_marks.h"
#include "system/program_group.h"
#include "system/protected_folder.h"
#include "system/registracija_komponenti.h"
#include "system/running_programs.h"
#include "system/setings.h"
#include "system/shortcut.h"
#include "system/uninstall_entry.h"
#include "system/unique_handles.h"
#include "app/background_transfer.h"
#include "download/timeouts.h"
#include "install/install_paths.h"

namespace zunor {

WinNetwork::WinNetwork(RunWindow& window, std::size_t connections, HWND promptOwner, RunLog* log)
    : window_(window), connections_(connections == 0 ? 1 : connections), promptOwner_(promptOwner), log_(log),
      transfers_(connections_, [this] { window_.ProcessPendingMessages(); }) {}

// The listings come first, one at a time: the user is asked there, and the files that follow carry
// the answer. A wrong answer is asked again; after a cancel the user is not asked again.
TransferResult WinNetwork::PastTheProxy(const std::wstring& url, const std::function<TransferResult()>& fetch) {
    constexpr int kMostPrompts = 5;
    TransferResult result = fetch();
    for (int asked = 0; promptOwner_ && !promptDeclined_ && result.error == TransferError::ProxyAuthRequired &&
                        asked < kMostPrompts;
         ++asked) {
        const bool given = modSetup::AskProxyCredentials(promptOwner_, url);
        if (log_) {
            log_->Write(L"proxy", result.address + L" asked who we are: " + (given ? L"answered" : L"not answered"));
        }
        if (!given) {
            promptDeclined_ = true;
            break;
        }
        result = fetch();
    }
    return result;
}

void WinNetwork::PurgeUrlCache(const std::wstring& url) {
    modSetup::PurgeUrlCache(url, [this] { window_.ProcessPendingMessages(); });
}

void WinNetwork::PurgeUrlCaches(const std::vector<std::wstring>& urls) {
    modSetup::PurgeUrlCaches(urls, [this] { window_.ProcessPendingMessages(); });
}

// Transfers run beside the window, which stays alive meanwhile.
void WinNetwork::StartDownload(std::size_t ticket, const std::wstring& url, const std::wstring& destination,
                               const TransferOptions& options) {
    transfers_.Start(
        ticket,
        [url, destination](const TransferOptions& own) { return modSetup::DownloadFile(url, destination, own); },
        options);
}

FinishedDownload WinNetwork::NextDownload() {
    return transfers_.Next();
}

void WinNetwork::EndDownloads() {
    transfers_.EndWorkers();
}

TransferResult WinNetwork::DownloadListing(const std::wstring& url, const std::wstring& folder,
                                           const std::wstring& fileName) {
    return PastTheProxy(url, [&] {
        return transfers_.Run(
            [url, folder, fileName](const TransferOptions& own) {
                return modSetup::DownloadListing(url, folder, fileName, own);
            },
            TransferOptions{});
    });
}

TransferResult WinNetwork::FetchText(const std::wstring& url, std::string& body) {
    return PastTheProxy(url, [&] { return modSetup::FetchText(url, body); });
}

bool WinFiles::PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WinFiles::CreateFolder(const std::wstring& path, unsigned long* error) {
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    if (error) *error = GetLastError();
    return false;
}

bool WinFiles::FileExists(const std::wstring& path) { return modSetup::FileExists(path); }

std::optional<std::string> WinFiles::ReadFile(const std::wstring& path) {
    // A listing page is small; anything past this is not a listing and is not read into memory.
    constexpr LONGLONG kMaxListingBytes = 256LL * 1024 * 1024;
    UniqueHandle file = AdoptFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxListingBytes) return std::nullopt;
    std::string data(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < data.size()) {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
        if (!::ReadFile(file.get(), data.data() + done, want, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        done += got;
    }
    data.resize(done);
    return data;
}

namespace {
std::wstring Folded(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}
}  // namespace

bool WinFiles::IsInside(const std::wstring& folder, const std::wstring& path) {
    std::wstring base = Folded(FullPathOf(folder));
    std::wstring full = Folded(FullPathOf(path));
    if (base.empty() || full.empty()) return false;
    if (base.back() != L'\\') base.push_back(L'\\');
    return full.size() > base.size() && full.compare(0, base.size(), base) == 0 &&
           full.find(L'\\', base.size()) == std::wstring::npos;
}

std::optional<std::uint64_t> WinFiles::FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<Sha256Digest> WinFiles::FileSha256(const std::wstring& path) { return modSetup::FileSha256(path); }

bool WinFiles::WriteFile(const std::wstring& path, std::string_view bytes) {
    const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".zunor-part";
    bool whole = false;
    {
        UniqueHandle file = AdoptFileHandle(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        whole = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size() && FlushFileBuffers(file.get());
    }
    if (whole && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileW(temporary.c_str());
    return false;
}

RunFiles::Removal WinFiles::RemoveFile(const std::wstring& path) {
    switch (RemoveFileDirectly(path)) {
    case DirectRemoval::Removed:
        return Removal::Removed;
    case DirectRemoval::Absent:
        return Removal::Absent;
    case DirectRemoval::InUse:
        return Removal::InUse;
    case DirectRemoval::Redirected:
        return Removal::Redirected;
    case DirectRemoval::NotEmpty:
    case DirectRemoval::Failed:
        break;
    }
    return Removal::Failed;
}

bool WinFiles::RemoveAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

RunFiles::FolderRemoval WinFiles::RemoveFolder(const std::wstring& path) {
    switch (RemoveFolderDirectly(path)) {
    case DirectRemoval::Removed:
        return FolderRemoval::Removed;
    case DirectRemoval::Absent:
        return FolderRemoval::Absent;
    case DirectRemoval::NotEmpty:
        return FolderRemoval::NotEmpty;
    case DirectRemoval::Redirected:
        return FolderRemoval::Redirected;
    case DirectRemoval::InUse:
    case DirectRemoval::Failed:
        break;
    }
    return FolderRemoval::Failed;
}

namespace {
// A process that cannot be looked at counts as running: its files are never touched. This program has
// placed nothing yet when it looks, so a file with its own id was left by an ended one that had it.
bool ProcessRuns(unsigned long id) {
    if (id == GetCurrentProcessId()) return false;
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}
}  // namespace

std::vector<std::wstring> WinFiles::LeftoverParts(const std::wstring& folder) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW((folder + L"\\*.zunor-part").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::optional<PartFileName> part = ParsePartFileName(data.cFileName);
        if (part && !ProcessRuns(part->processId)) found.push_back(folder + L"\\" + data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

std::optional<std::wstring> WinFiles::ShortPath(const std::wstring& path) {
    DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring out(n, L'\0');
    n = GetShortPathNameW(path.c_str(), out.data(), n);
    if (n == 0 || n >= out.size()) return std::nullopt;
    out.resize(n);
    return out;
}

bool WinSystem::RegisterComponent(const std::wstring& path) {
    return RegistracijaKomponenti::RegisterComponent(path, false,
                                                     std::chrono::milliseconds(modSetup::CurrentTimeouts().registerMs));
}

bool WinSystem::WriteSetting(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key,
                             const std::wstring& value) {
    Setings::IniFilePath = iniPath;
    return Setings::WriteSetting(section, key, value);
}

bool WinSystem::AnsiHolds(const std::wstring& text) { return Setings::AnsiHolds(text); }

std::wstring WinSystem::ReadLayer(const std::wstring& valueName, const std::wstring& fallback) {
    return MRegistry::ReadLayerValue(valueName, fallback);
}

LayerWrite WinSystem::WriteLayer(const std::wstring& valueName, const std::wstring& data) {
    return MRegistry::WriteLayerValue(valueName, data);
}

std::wstring WinSystem::DesktopDirectory() { return getDesktopDirectory(); }

std::wstring WinSystem::ProgramGroupFolder() { return zunor::ProgramGroupFolder(); }

bool WinSystem::CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                               const std::wstring& workingDirectory) {
    return zunor::CreateShortcut(linkPath, target, workingDirectory);
}

bool WinSystem::UnregisterComponent(const std::wstring& path) {
    return RegistracijaKomponenti::RegisterComponent(path, true,
                                                     std::chrono::milliseconds(modSetup::CurrentTimeouts().registerMs));
}

bool WinSystem::DeleteLayer(const std::wstring& valueName) { return MRegistry::DeleteLayerValue(valueName); }

std::vector<std::wstring> WinSystem::RunningPrograms(const std::wstring& folder) { return RunningProgramsIn(folder); }

std::wstring SetupProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Copied beside the destination first, so an old copy is replaced only by a whole new one.
std::wstring WinRegistration::RemovalFolder() { return RemovalFolderPath(); }

bool WinRegistration::ProtectRemovalFolder() {
    const std::wstring folder = RemovalFolderPath();
    return !folder.empty() && ProtectFolder(folder) != Protection::Failed;
}

bool WinFiles::ReachedDirectly(const std::wstring& folder) { return FolderReachedDirectly(folder); }

bool WinRegistration::CopySetupProgram(const std::wstring& destination) {
    const std::wstring self = SetupProgramPath();
    if (self.empty()) return false;
    if (CompareStringOrdinal(self.c_str(), -1, destination.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    const std::wstring temporary = destination + L"." + std::to_wstring(GetCurrentProcessId()) + L".zunor-part";
    if (!CopyFileW(self.c_str(), temporary.c_str(), FALSE)) return false;
    if (MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileW(temporary.c_str());
    return false;
}

std::wstring WinRegistration::FileVersion(const std::wstring& path) { return zunor::FileVersion(path); }

std::wstring WinRegistration::SetupVersion() {
    const std::string text(ZUNOR_VERSION_TEXT);
    return std::wstring(text.begin(), text.end());
}

std::wstring WinRegistration::Today() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t text[16] = {};
    swprintf(text, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

bool WinRegistration::WriteUninstallEntry(const UninstallEntry& entry) { return zunor::WriteUninstallEntry(entry); }

std::optional<std::wstring> WinRegistration::UninstallLocation() { return ReadUninstallLocation(); }

bool WinRegistration::DeleteUninstallEntry() { return zunor::DeleteUninstallEntry(); }

std::optional<RecordSeal> WinRegistration::ReadRecordSeal() { return zunor::ReadRecordSeal(); }

bool WinRegistration::WriteRecordSeal(const RecordSeal& seal) { return zunor::WriteRecordSeal(seal); }

bool WinRegistration::AddSharedUse(const std::wstring& path, bool fileWasThere) {
    return zunor::AddSharedUse(path, fileWasThere);
}

SharedRelease WinRegistration::ReleaseSharedUse(const std::wstring& path) { return zunor::ReleaseSharedUse(path); }

std::wstring WinSystem::SetupFolder() {
    std::wstring path = SetupProgramPath();
    if (path.empty()) return {};
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    // At a drive root the folder keeps its backslash ("C:\").
    if (slash == 2 && path[1] == L':') return path.substr(0, 3);
    return path.substr(0, slash);
}

}  // namespace zunor
