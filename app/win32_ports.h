#pragma once
// The run's ports on the real Windows interfaces.
#include <cstddef>
#include <string>
#include <vector>

#include "app/background_transfer.h"
#include "common/run_ports.h"

namespace zunor {

// Files go over up to `connections` connections at once, each on a worker thread; the window's
// thread waits for them and lets the window work meanwhile.
class WinNetwork final : public RunNetwork {
public:
    explicit WinNetwork(RunWindow& window, std::size_t connections = 1);
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
    RunWindow& window_;
    std::size_t connections_;
    BackgroundTransfers transfers_;
};

class WinFiles final : public RunFiles {
public:
    bool PathExists(const std::wstring& path) override;
    bool CreateFolder(const std::wstring& path, unsigned long* error) override;
    bool FileExists(const std::wstring& path) override;
    std::optional<std::string> ReadFile(const std::wstring& path) override;
    bool IsInside(const std::wstring& folder, const std::wstring& path) override;
};

class WinSystem final : public RunSystem {
public:
    explicit WinSystem(std::wstring systemDir) : systemDir_(std::move(systemDir)) {}
    std::wstring SystemDir() override { return systemDir_; }
    bool RegisterComponent(const std::wstring& path) override;
    bool WriteSetting(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key,
                      const std::wstring& value) override;
    std::wstring ReadLayer(const std::wstring& valueName, const std::wstring& fallback) override;
    LayerWrite WriteLayer(const std::wstring& valueName, const std::wstring& data) override;
    std::wstring DesktopDirectory() override;
    std::wstring ProgramGroupFolder() override;
    bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                        const std::wstring& workingDirectory) override;
    std::wstring SetupFolder() override;

private:
    std::wstring systemDir_;
};

// The Windows system directory without a trailing backslash; empty when the system does not say.
std::wstring QuerySystemDirectory();

}  // namespace zunor
