#pragma once
// The run's ports on the real Windows interfaces.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/background_transfer.h"
#include "common/run_ports.h"

namespace zunor {

// Files go over up to `connections` connections at once, each on a worker thread; the window's
// thread waits for them and lets the window work meanwhile. With a prompt owner (the window), a proxy
// that asks who we are gets its answer from the user, and the listing or text is asked for again; the
// log says that the user was asked and how it ended, never what was typed.
class WinNetwork final : public RunNetwork {
public:
    explicit WinNetwork(RunWindow& window, std::size_t connections = 1, HWND promptOwner = nullptr,
                        RunLog* log = nullptr);
    void PurgeUrlCache(const std::wstring& url) override;
    void PurgeUrlCaches(const std::vector<std::wstring>& urls) override;
    std::size_t Connections() override { return connections_; }
    void StartDownload(std::size_t ticket, const std::wstring& url, const std::wstring& destination,
                       const TransferOptions& options) override;
    FinishedDownload NextDownload() override;
    void EndDownloads() override;
    TransferResult DownloadListing(const std::wstring& url, const std::wstring& folder,
                                   const std::wstring& fileName) override;
    TransferResult FetchText(const std::wstring& url, std::string& body) override;

private:
    // Runs fetch until it gets past the proxy or the user gives up.
    TransferResult PastTheProxy(const std::wstring& url, const std::function<TransferResult()>& fetch);

    RunWindow& window_;
    std::size_t connections_;
    HWND promptOwner_;
    RunLog* log_;
    bool promptDeclined_ = false; // the user cancelled the prompt once: not asked again
    BackgroundTransfers transfers_;
};

class WinFiles final : public RunFiles {
public:
    bool PathExists(const std::wstring& path) override;
    bool CreateFolder(const std::wstring& path, unsigned long* error) override;
    bool FileExists(const std::wstring& path) override;
    std::optional<std::string> ReadFile(const std::wstring& path) override;
    bool IsInside(const std::wstring& folder, const std::wstring& path) override;
    std::optional<std::uint64_t> FileSize(const std::wstring& path) override;
    std::optional<Sha256Digest> FileSha256(const std::wstring& path) override;
    bool WriteFile(const std::wstring& path, std::string_view bytes) override;
    Removal RemoveFile(const std::wstring& path) override;
    bool RemoveAtRestart(const std::wstring& path) override;
    FolderRemoval RemoveFolder(const std::wstring& path) override;
    std::optional<std::wstring> ShortPath(const std::wstring& path) override;
    bool ReachedDirectly(const std::wstring& folder) override;
    std::vector<std::wstring> LeftoverParts(const std::wstring& folder) override;
};

class WinSystem final : public RunSystem {
public:
    explicit WinSystem(std::wstring systemDir) : systemDir_(std::move(systemDir)) {}
    std::wstring SystemDir() override { return systemDir_; }
    bool RegisterComponent(const std::wstring& path) override;
    bool WriteSetting(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key,
                      const std::wstring& value) override;
    bool AnsiHolds(const std::wstring& text) override;
    std::wstring ReadLayer(const std::wstring& valueName, const std::wstring& fallback) override;
    LayerWrite WriteLayer(const std::wstring& valueName, const std::wstring& data) override;
    std::wstring DesktopDirectory() override;
    std::wstring ProgramGroupFolder() override;
    bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                        const std::wstring& workingDirectory) override;
    std::wstring SetupFolder() override;
    bool UnregisterComponent(const std::wstring& path) override;
    bool DeleteLayer(const std::wstring& valueName) override;
    std::vector<std::wstring> RunningPrograms(const std::wstring& folder) override;

private:
    std::wstring systemDir_;
};

class WinRegistration final : public RunRegistration {
public:
    std::wstring RemovalFolder() override;
    bool ProtectRemovalFolder() override;
    bool CopySetupProgram(const std::wstring& destination) override;
    std::wstring FileVersion(const std::wstring& path) override;
    std::wstring SetupVersion() override;
    std::wstring Today() override;
    bool WriteUninstallEntry(const UninstallEntry& entry) override;
    std::optional<std::wstring> UninstallLocation() override;
    bool DeleteUninstallEntry() override;
    std::optional<RecordSeal> ReadRecordSeal() override;
    bool WriteRecordSeal(const RecordSeal& seal) override;
    bool AddSharedUse(const std::wstring& path, bool fileWasThere) override;
    SharedRelease ReleaseSharedUse(const std::wstring& path) override;
};

// The full path of the running program.
std::wstring SetupProgramPath();

}  // namespace zunor
