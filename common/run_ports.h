#pragma once
// What the installation run needs from the window and the platform, one small interface per concern.
// The installer passes the real Win32 implementations; the unit tests pass fakes that record calls.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/transfer_options.h"
#include "common/transfer_result.h"

namespace zunor {

// The wizard window as the run sees it. Every read goes to the control afresh.
class RunWindow {
public:
    virtual ~RunWindow() = default;
    virtual std::wstring ReadLocation() = 0;                      // Text2
    virtual void SetCancelCaption(std::wstring_view caption) = 0;  // Command2
    virtual void SetProgressTrackVisible(bool visible) = 0;        // Picture1
    virtual void SetStatusVisible(bool visible) = 0;               // Label4
    virtual void SetStatus(std::wstring_view text) = 0;            // Label4 caption
    virtual void SetProgress(double fraction) = 0;                 // Label3 width = fraction * Picture1 width
    virtual bool DesktopShortcutChosen() = 0;                      // Check1 == 1
    virtual bool ProgramGroupChosen() = 0;                         // Check2 == 1
    virtual void DisableNext() = 0;                                // Command3
    virtual void ShowMessage(std::wstring_view text) = 0;          // modal, OK only, application title
    virtual void ProcessPendingMessages() = 0;                     // one yield to the window
};

// A file transfer that has ended: the ticket it was started with, and how it went.
struct FinishedDownload {
    std::size_t ticket = 0;
    TransferResult result;
};

// The download server.
class RunNetwork {
public:
    virtual ~RunNetwork() = default;
    // Lets the window process its messages before every deletion attempt.
    virtual void PurgeUrlCache(const std::wstring& url) = 0;
    // The same for many addresses in one pass over the cache; the window works once before it.
    virtual void PurgeUrlCaches(const std::vector<std::wstring>& urls) = 0;
    // Files go over up to Connections() connections at once (/CONNECTIONS=). StartDownload hands one
    // DownloadFile to a free connection and returns at once; the caller starts no more than
    // Connections() before NextDownload has handed one back. NextDownload waits, letting the window
    // work, until any of them has ended. The callbacks of options are called on the caller's thread,
    // from within NextDownload.
    virtual std::size_t Connections() = 0;
    virtual void StartDownload(std::size_t ticket, const std::wstring& url, const std::wstring& destination,
                               const TransferOptions& options) = 0;
    virtual FinishedDownload NextDownload() = 0;
    // The run starts no more downloads: what they held (a thread each) may go.
    virtual void EndDownloads() = 0;
    virtual TransferResult DownloadListing(const std::wstring& url, const std::wstring& folder,
                                           const std::wstring& fileName) = 0;
    // Fetches a small text (a listing page, SHA256SUMS) into memory, retried like a listing; nothing of
    // it is left on disk. body holds it when the result is ok.
    virtual TransferResult FetchText(const std::wstring& url, std::string& body) = 0;
};

// The local file system.
class RunFiles {
public:
    virtual ~RunFiles() = default;
    virtual bool PathExists(const std::wstring& path) = 0;  // a file or a folder of that name
    // Creates one folder level; on failure returns false and the system's error code in *error.
    virtual bool CreateFolder(const std::wstring& path, unsigned long* error) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;  // present, and not a folder
    virtual std::optional<std::string> ReadFile(const std::wstring& path) = 0;
    // True when the full form of path lies inside folder (last guard for names from the server).
    virtual bool IsInside(const std::wstring& folder, const std::wstring& path) = 0;
};

// Outcome of writing a compatibility-layer value. The Layers key is never created: where the user has
// none, no mark is wanted, and that is not a failure.
enum class LayerWrite { Written, KeyAbsent, Failed };

// The rest of Windows: components, settings, registry, shell.
class RunSystem {
public:
    virtual ~RunSystem() = default;
    virtual std::wstring SystemDir() = 0;
    virtual bool RegisterComponent(const std::wstring& path) = 0;
    virtual bool WriteSetting(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key,
                              const std::wstring& value) = 0;
    // HKCU ...\AppCompatFlags\Layers. Reading gives the fallback for an absent value or key.
    virtual std::wstring ReadLayer(const std::wstring& valueName, const std::wstring& fallback) = 0;
    virtual LayerWrite WriteLayer(const std::wstring& valueName, const std::wstring& data) = 0;
    virtual std::wstring DesktopDirectory() = 0;     // no trailing backslash
    virtual std::wstring ProgramGroupFolder() = 0;   // the all-users programs folder + "\Brantovik"
    virtual bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                                const std::wstring& workingDirectory) = 0;
    virtual std::wstring SetupFolder() = 0;          // folder of the running setup program
};

// The install log (/LOG=); a run without one gets NullRunLog.
class RunLog {
public:
    virtual ~RunLog() = default;
    virtual void Write(std::wstring_view step, std::wstring_view detail) = 0;
};

class NullRunLog final : public RunLog {
public:
    void Write(std::wstring_view, std::wstring_view) override {}
};

}  // namespace zunor
