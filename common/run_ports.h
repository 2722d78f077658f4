#pragma once
// What the installation run needs from the window and the platform, one small interface per concern.
// The installer passes the real Win32 implementations; the unit tests pass fakes that record calls.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/transfer_options.h"
#include "common/transfer_result.h"

namespace zunor {

// The product's program as this run placed it (or found it current): only that file is started.
struct ProductFile {
    std::wstring path;
    std::uint64_t size = 0;
    Sha256Digest sha256{};

    bool operator==(const ProductFile&) const = default;
};

// The wizard window as the run sees it. Every read goes to the control afresh.
class RunWindow {
public:
    virtual ~RunWindow() = default;
    virtual std::wstring ReadLocation() = 0;                      // Text2
    virtual void SetCancelCaption(std::wstring_view caption) = 0; // Command2
    virtual void SetProgressTrackVisible(bool visible) = 0;       // Picture1
    virtual void SetStatusVisible(bool visible) = 0;              // Label4
    virtual void SetStatus(std::wstring_view text) = 0;           // Label4 caption
    virtual void SetProgress(double fraction) = 0;                // Label3 width = fraction * Picture1 width
    virtual bool DesktopShortcutChosen() = 0;                     // Check1 == 1
    virtual bool ProgramGroupChosen() = 0;                        // Check2 == 1
    virtual void DisableNext() = 0;                               // Command3
    virtual void ShowMessage(std::wstring_view text) = 0;         // modal, OK only, application title
    // Retry or cancel: true to try again. Unattended, it waits a while before every try, and gives up
    // after a bounded time.
    virtual bool AskRetry(std::wstring_view problem) = 0;
    virtual void ProcessPendingMessages() = 0; // one yield to the window
    // The product's program is in place: "Zavrsi" may start it from now on, also during the run.
    virtual void ProductPlaced(const ProductFile&) {}
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
    // DownloadFile to a free connection and returns at once (with options.keepIfCurrent, its worker
    // first hashes what is in place, and requests nothing when that is current); the caller starts no more
    // than Connections() before NextDownload has handed one back. NextDownload waits, letting the window
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
    virtual bool PathExists(const std::wstring& path) = 0; // a file or a folder of that name
    // Creates one folder level; on failure returns false and the system's error code in *error.
    virtual bool CreateFolder(const std::wstring& path, unsigned long* error) = 0;
    virtual bool FileExists(const std::wstring& path) = 0; // present, and not a folder
    virtual std::optional<std::string> ReadFile(const std::wstring& path) = 0;
    // True when the full form of path lies inside folder (last guard for names from the server).
    virtual bool IsInside(const std::wstring& folder, const std::wstring& path) = 0;
    // The temporary files ("<name>.<process id>.zunor-part") that ended runs of a setup program left in
    // folder; those of a process that still runs are not among them.
    virtual std::vector<std::wstring> LeftoverParts(const std::wstring& folder) = 0;
    virtual std::optional<std::uint64_t> FileSize(const std::wstring& path) = 0;
    // The SHA-256 of the file's bytes; nullopt when it cannot be read (absent, a folder, held).
    virtual std::optional<Sha256Digest> FileSha256(const std::wstring& path) = 0;
    // Replaces the whole file through a temporary file beside it: the old copy stays until the new one
    // is complete and on disk.
    virtual bool WriteFile(const std::wstring& path, std::string_view bytes) = 0;

    // Removal. A file held open by a program is InUse; one that is already gone is Absent. A path that
    // leads elsewhere than it says (a link or junction on the way) is Redirected, and nothing is removed.
    enum class Removal { Removed, Absent, InUse, Failed, Redirected };
    virtual Removal RemoveFile(const std::wstring& path) = 0;
    // Marks a file for deletion when the computer next starts.
    virtual bool RemoveAtRestart(const std::wstring& path) = 0;
    // Removes a folder only when it is empty; NotEmpty is no failure.
    enum class FolderRemoval { Removed, Absent, NotEmpty, Failed, Redirected };
    virtual FolderRemoval RemoveFolder(const std::wstring& path) = 0;
    // Whether the folder is reached with no link or junction on the way: its final path, every link
    // followed, is the path itself. False also when it cannot be opened.
    virtual bool ReachedDirectly(const std::wstring& folder) = 0;
    // The short (8.3) form of an existing path, as its volume gives it (a name without one stays as it
    // is); nullopt when the path does not exist.
    virtual std::optional<std::wstring> ShortPath(const std::wstring& path) = 0;
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
    virtual bool WriteSetting(const std::wstring& iniPath, const std::wstring& section,
                              const std::wstring& key, const std::wstring& value) = 0;
    // True when the system's ANSI code page, in which config.ini is written, holds text exactly.
    virtual bool AnsiHolds(const std::wstring& text) = 0;
    // HKCU ...\AppCompatFlags\Layers. Reading gives the fallback for an absent value or key.
    virtual std::wstring ReadLayer(const std::wstring& valueName, const std::wstring& fallback) = 0;
    virtual LayerWrite WriteLayer(const std::wstring& valueName, const std::wstring& data) = 0;
    virtual std::wstring DesktopDirectory() = 0;   // no trailing backslash
    virtual std::wstring ProgramGroupFolder() = 0; // the all-users programs folder + "\Brantovik"
    virtual bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target,
                                const std::wstring& workingDirectory) = 0;
    virtual std::wstring SetupFolder() = 0; // folder of the running setup program
    virtual bool UnregisterComponent(const std::wstring& path) = 0;
    // Removes a compatibility mark; an absent one counts as removed.
    virtual bool DeleteLayer(const std::wstring& valueName) = 0;
    // Full paths of the programs running from inside folder (or from folder itself).
    virtual std::vector<std::wstring> RunningPrograms(const std::wstring& folder) = 0;
};

// The product's entry in the system's list of installed programs ("Apps & features").
struct UninstallEntry {
    std::wstring displayName;
    std::wstring publisher;
    std::wstring displayVersion;
    std::wstring displayIcon;
    std::wstring installLocation;
    std::wstring installDate; // YYYYMMDD
    std::uint32_t estimatedSizeKiB = 0;
    std::wstring uninstallString;
    std::wstring quietUninstallString;

    bool operator==(const UninstallEntry&) const = default;
};

// What vouches for the install record, which lies where standard users may be able to write: its size
// and SHA-256, kept in the entry, where only an administrator can write.
struct RecordSeal {
    std::uint64_t size = 0;
    std::wstring sha256; // 64 lower-case hexadecimal digits

    bool operator==(const RecordSeal&) const = default;
};

// What giving back one use of a shared component left.
enum class SharedRelease {
    StillUsed, // other programs count on it: it stays
    LastUse,   // the count reached zero and was removed: the component may go
    Missing,   // there was no count: it stays
    Failed,    // the count could not be written
};

// Registration of the installed product with Windows: the uninstall entry, the shared-file counts of
// the support components, and the copy of the setup program that removes the product.
class RunRegistration {
public:
    virtual ~RunRegistration() = default;
    // The folder that keeps the copy of the setup program and the install record, where only
    // administrators and the system may write, whatever the install location.
    virtual std::wstring RemovalFolder() = 0;
    // Makes it so: created with its protected rights, or, where it is there with another owner or rights
    // that let others write, reset to them (and what it held goes). False when that cannot be done.
    virtual bool ProtectRemovalFolder() = 0;
    // Copies the running setup program to destination (nothing to do when it already runs from there).
    virtual bool CopySetupProgram(const std::wstring& destination) = 0;
    virtual std::wstring FileVersion(const std::wstring& path) = 0; // "" when the file has none
    virtual std::wstring SetupVersion() = 0;
    virtual std::wstring Today() = 0; // YYYYMMDD
    virtual bool WriteUninstallEntry(const UninstallEntry& entry) = 0;
    // The entry's InstallLocation, when the entry exists.
    virtual std::optional<std::wstring> UninstallLocation() = 0;
    virtual bool DeleteUninstallEntry() = 0; // an absent entry counts as deleted
    // The record's seal in the entry; nullopt when there is none (no entry, or an earlier version's).
    virtual std::optional<RecordSeal> ReadRecordSeal() = 0;
    // Into the entry that is there; false when there is none.
    virtual bool WriteRecordSeal(const RecordSeal& seal) = 0;
    // One more use of a component in the system folder. A file that was there before without a count
    // is counted as used once already, as other installers do, so that removing this product keeps it.
    virtual bool AddSharedUse(const std::wstring& path, bool fileWasThere) = 0;
    virtual SharedRelease ReleaseSharedUse(const std::wstring& path) = 0;
};

// The questions and messages of a removal: message boxes with the window, the console without.
class RemovalDialog {
public:
    virtual ~RemovalDialog() = default;
    virtual bool Confirm(std::wstring_view question) = 0; // yes or no
    virtual bool Retry(std::wstring_view problem) = 0;    // retry or cancel
    virtual void ShowMessage(std::wstring_view text) = 0;
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

} // namespace zunor
