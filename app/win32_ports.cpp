#include "app/win32_ports.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "download/modsetup.h"
#include "system/desktop_folder.h"
#include "system/layer_marks.h"
#include "system/program_group.h"
#include "system/registracija_komponenti.h"
#include "system/setings.h"
#include "system/shortcut.h"
#include "system/unique_handles.h"

namespace zunor {

WinNetwork::WinNetwork(RunWindow& window, std::size_t connections)
    : window_(window), connections_(connections == 0 ? 1 : connections),
      transfers_(connections_, [this] { window_.ProcessPendingMessages(); }) {}

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
    return transfers_.Run(
        [url, folder, fileName](const TransferOptions& own) {
            return modSetup::DownloadListing(url, folder, fileName, own);
        },
        TransferOptions{});
}

TransferResult WinNetwork::FetchText(const std::wstring& url, std::string& body) {
    return modSetup::FetchText(url, body);
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
std::wstring FullPath(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return {};
    std::wstring out(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, out.data(), nullptr);
    out.resize(n);
    return out;
}

std::wstring Folded(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}
}  // namespace

bool WinFiles::IsInside(const std::wstring& folder, const std::wstring& path) {
    std::wstring base = Folded(FullPath(folder));
    std::wstring full = Folded(FullPath(path));
    if (base.empty() || full.empty()) return false;
    if (base.back() != L'\\') base.push_back(L'\\');
    return full.size() > base.size() && full.compare(0, base.size(), base) == 0 &&
           full.find(L'\\', base.size()) == std::wstring::npos;
}

bool WinSystem::RegisterComponent(const std::wstring& path) {
    return RegistracijaKomponenti::RegisterComponent(path, false);
}

bool WinSystem::WriteSetting(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key,
                             const std::wstring& value) {
    Setings::IniFilePath = iniPath;
    return Setings::WriteSetting(section, key, value);
}

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

std::wstring WinSystem::SetupFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {};
    // At a drive root the folder keeps its backslash ("C:\").
    if (slash == 2 && path[1] == L':') return path.substr(0, 3);
    return path.substr(0, slash);
}

std::wstring QuerySystemDirectory() {
    wchar_t buffer[MAX_PATH + 1];
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return {};
    return std::wstring(buffer, n);
}

}  // namespace zunor
