#pragma once
// Fakes of the run's ports. They share one recorder, so a test sees every call of the run in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_ports.h"
#include "common/sha256_plain.h"
#include "install/installation_run.h"
#include "install/removal_run.h"

namespace zunor::test {

struct Recorder {
    std::vector<std::wstring> calls;
    void Add(std::wstring call) { calls.push_back(std::move(call)); }

    // The calls that start with prefix, in order.
    std::vector<std::wstring> Starting(std::wstring_view prefix) const {
        std::vector<std::wstring> out;
        for (const auto& c : calls) {
            if (c.starts_with(prefix)) {
                out.push_back(c);
            }
        }
        return out;
    }
    bool Has(std::wstring_view call) const {
        for (const auto& c : calls) {
            if (c == call) {
                return true;
            }
        }
        return false;
    }
};

class FakeWindow : public RunWindow {
public:
    explicit FakeWindow(Recorder& r) : r_(r) {}
    std::wstring location = L"C:\\I\\";
    bool desktopChosen = true;
    bool groupChosen = true;
    std::function<void()> onYield; // what the user does while the run lets the window work
    int locationReads = 0;

    std::wstring ReadLocation() override {
        ++locationReads;
        return location;
    }
    void SetCancelCaption(std::wstring_view c) override { r_.Add(L"caption " + std::wstring(c)); }
    void SetProgressTrackVisible(bool v) override { r_.Add(v ? L"track shown" : L"track hidden"); }
    void SetStatusVisible(bool v) override { r_.Add(v ? L"status shown" : L"status hidden"); }
    void SetStatus(std::wstring_view t) override { r_.Add(L"status " + std::wstring(t)); }
    void SetProgress(double f) override {
        std::wostringstream s;
        s << L"progress " << f;
        r_.Add(s.str());
    }
    bool DesktopShortcutChosen() override { return desktopChosen; }
    bool ProgramGroupChosen() override { return groupChosen; }
    void DisableNext() override { r_.Add(L"disable next"); }
    void ShowMessage(std::wstring_view t) override { r_.Add(L"message " + std::wstring(t)); }
    int retries = 0; // how many times the user presses "retry" before cancelling
    bool AskRetry(std::wstring_view problem) override {
        r_.Add(L"retry? " + std::wstring(problem));
        return retries-- > 0;
    }
    std::optional<ProductFile> product; // what the run said "Zavrsi" may start
    void ProductPlaced(const ProductFile& p) override {
        r_.Add(L"product " + p.path);
        product = p;
    }
    void ProcessPendingMessages() override {
        r_.Add(L"yield");
        if (onYield) {
            onYield();
        }
    }

private:
    Recorder& r_;
};

class FakeFiles : public RunFiles {
public:
    explicit FakeFiles(Recorder& r) : r_(r) {}
    std::set<std::wstring> paths;                     // files and folders that exist
    std::map<std::wstring, std::string> contents;     // readable files
    std::map<std::wstring, unsigned long> mkdirFails; // folder -> system error
    std::set<std::wstring> outside;                   // paths IsInside refuses
    std::set<std::wstring> redirected;                // folders that lead elsewhere (a link or junction)
    std::map<std::wstring, Removal> removals;         // path -> how RemoveFile ends (default: as it is)
    std::set<std::wstring> notEmpty;                  // folders RemoveFolder keeps
    bool writable = true;
    std::map<std::wstring, std::wstring> shortPaths; // existing path -> its short form (else itself)

    bool PathExists(const std::wstring& p) override {
        r_.Add(L"exists? " + p);
        return paths.contains(p);
    }
    bool CreateFolder(const std::wstring& p, unsigned long* error) override {
        r_.Add(L"mkdir " + p);
        if (auto it = mkdirFails.find(p); it != mkdirFails.end()) {
            *error = it->second;
            return false;
        }
        paths.insert(p);
        return true;
    }
    bool FileExists(const std::wstring& p) override {
        r_.Add(L"file? " + p);
        return paths.contains(p);
    }
    std::optional<std::string> ReadFile(const std::wstring& p) override {
        r_.Add(L"read " + p);
        if (auto it = contents.find(p); it != contents.end()) {
            return it->second;
        }
        return std::nullopt;
    }
    bool IsInside(const std::wstring& folder, const std::wstring& p) override {
        r_.Add(L"inside? " + p);
        return p.starts_with(folder) && !outside.contains(p);
    }
    bool ReachedDirectly(const std::wstring& folder) override {
        r_.Add(L"direct? " + folder);
        return !redirected.contains(folder);
    }
    std::map<std::wstring, std::vector<std::wstring>> leftovers; // folder -> what LeftoverParts finds
    std::vector<std::wstring> LeftoverParts(const std::wstring& folder) override {
        r_.Add(L"leftovers? " + folder);
        auto it = leftovers.find(folder);
        return it == leftovers.end() ? std::vector<std::wstring>{} : it->second;
    }
    std::optional<std::uint64_t> FileSize(const std::wstring& p) override {
        if (!paths.contains(p)) {
            return std::nullopt;
        }
        auto it = contents.find(p);
        return it == contents.end() ? 1000 : it->second.size();
    }
    std::optional<Sha256Digest> FileSha256(const std::wstring& p) override {
        if (!paths.contains(p)) {
            return std::nullopt;
        }
        auto it = contents.find(p);
        return Sha256Of(it == contents.end() ? std::string() : it->second);
    }
    bool WriteFile(const std::wstring& p, std::string_view bytes) override {
        r_.Add(L"write " + p);
        if (!writable) {
            return false;
        }
        paths.insert(p);
        contents[p] = std::string(bytes);
        return true;
    }
    Removal RemoveFile(const std::wstring& p) override {
        r_.Add(L"delete " + p);
        if (auto it = removals.find(p); it != removals.end()) {
            return it->second;
        }
        contents.erase(p);
        return paths.erase(p) ? Removal::Removed : Removal::Absent;
    }
    bool RemoveAtRestart(const std::wstring& p) override {
        r_.Add(L"delete at restart " + p);
        return true;
    }
    FolderRemoval RemoveFolder(const std::wstring& p) override {
        r_.Add(L"rmdir " + p);
        if (notEmpty.contains(p)) {
            return FolderRemoval::NotEmpty;
        }
        return paths.erase(p) ? FolderRemoval::Removed : FolderRemoval::Absent;
    }
    std::optional<std::wstring> ShortPath(const std::wstring& p) override {
        r_.Add(L"short? " + p);
        if (!paths.contains(p)) {
            return std::nullopt;
        }
        auto it = shortPaths.find(p);
        return it == shortPaths.end() ? p : it->second;
    }

private:
    Recorder& r_;
};

inline TransferResult Ok(std::uint64_t bytes = 10) {
    TransferResult t;
    t.status = 200;
    t.bytes = bytes;
    t.milliseconds = 3;
    t.attempts = 1;
    return t;
}

inline TransferResult HttpFailure(int status) {
    TransferResult t;
    t.error = TransferError::HttpStatus;
    t.status = status;
    t.attempts = 1;
    return t;
}

class FakeNetwork : public RunNetwork {
public:
    FakeNetwork(Recorder& r, FakeFiles& files) : r_(r), files_(files) {}
    std::map<std::wstring, std::string> pages;       // listing URL -> body the server sends
    std::map<std::wstring, TransferResult> failures; // URL -> failed result
    std::size_t connections = 1;

    void PurgeUrlCache(const std::wstring& url) override { r_.Add(L"purge " + url); }
    void PurgeUrlCaches(const std::vector<std::wstring>& urls) override {
        for (const auto& url : urls) {
            r_.Add(L"purge " + url);
        }
    }
    std::map<std::wstring, std::optional<Sha256Digest>> checksums; // URL -> digest the run asked for
    // URL -> (received, total) as the transfer reports them on its way
    std::map<std::wstring, std::vector<std::pair<std::uint64_t, std::uint64_t>>> progress;

    // The transfers started and not yet handed back, oldest first.
    struct Running {
        std::size_t ticket;
        std::wstring url;
        std::wstring destination;
        TransferOptions options;
        bool current = false; // kept as it is: nothing requested
    };
    std::vector<Running> running;
    std::size_t mostRunning = 0;
    // Which of the running transfers ends next (an index into running); the oldest by default.
    std::function<std::size_t(const std::vector<Running>&)> endsNext;

    std::size_t Connections() override { return connections; }
    // Like DownloadFile: with keepIfCurrent, a destination that already hashes as expected is kept.
    void StartDownload(std::size_t ticket, const std::wstring& url, const std::wstring& dest,
                       const TransferOptions& options) override {
        const bool current = options.keepIfCurrent && options.expectedSha256 &&
                             files_.FileSha256(dest) == options.expectedSha256;
        r_.Add((current ? L"current " : L"download ") + url + L" -> " + dest);
        checksums[url] = options.expectedSha256;
        for (const Running& other : running) {
            if (Folded(other.destination) == Folded(dest)) {
                ADD_FAILURE()
                    << "two transfers at once into one file (Windows names are one whatever their case)";
            }
        }
        running.push_back({ticket, url, dest, options, current});
        mostRunning = std::max(mostRunning, running.size());
    }
    void EndDownloads() override {
        r_.Add(L"transfers over");
        if (!running.empty()) {
            ADD_FAILURE() << "transfers over while some still run";
        }
    }
    // Reports the progress of the one that ends, then its result.
    FinishedDownload NextDownload() override {
        if (running.empty()) {
            ADD_FAILURE() << "NextDownload with no transfer running";
            return {};
        }
        const std::size_t i = endsNext ? endsNext(running) : 0;
        const Running done = running.at(i);
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        if (done.current) {
            TransferResult kept;
            kept.current = true;
            return {done.ticket, kept};
        }
        if (auto steps = progress.find(done.url); steps != progress.end() && done.options.progress) {
            for (const auto& [received, total] : steps->second) {
                done.options.progress(received, total);
            }
        }
        if (auto it = failures.find(done.url); it != failures.end()) {
            return {done.ticket, it->second};
        }
        files_.paths.insert(done.destination);
        return {done.ticket, Ok()};
    }
    TransferResult DownloadListing(const std::wstring& url, const std::wstring& folder,
                                   const std::wstring& name) override {
        r_.Add(L"listing " + url + L" -> " + folder + name);
        if (auto it = failures.find(url); it != failures.end()) {
            return it->second;
        }
        auto page = pages.find(url);
        if (page == pages.end()) {
            return HttpFailure(404);
        }
        files_.paths.insert(folder + name);
        files_.contents[folder + name] = page->second;
        return Ok(page->second.size());
    }
    TransferResult FetchText(const std::wstring& url, std::string& body) override {
        r_.Add(L"fetch " + url);
        if (auto it = failures.find(url); it != failures.end()) {
            return it->second;
        }
        auto page = pages.find(url);
        if (page == pages.end()) {
            return HttpFailure(404);
        }
        body = page->second;
        return Ok(page->second.size());
    }

private:
    static std::wstring Folded(std::wstring path) {
        for (wchar_t& c : path) {
            c = static_cast<wchar_t>(std::towlower(c));
        }
        return path;
    }

    Recorder& r_;
    FakeFiles& files_;
};

class FakeSystem : public RunSystem {
public:
    explicit FakeSystem(Recorder& r) : r_(r) {}
    std::wstring systemDir = L"C:\\W\\S32";
    std::wstring desktop = L"C:\\U\\Desktop";
    std::wstring group = L"C:\\PD\\Programs\\Brantovik";
    std::wstring setupFolder = L"D:\\Setup";
    std::set<std::wstring> unregistrable;
    bool settingResult = true;
    std::map<std::wstring, LayerWrite> layerResults; // default Written
    std::map<std::wstring, std::wstring> layers;     // existing values
    std::set<std::wstring> failingLinks;
    std::vector<std::vector<std::wstring>> running; // what RunningPrograms answers, one call after another

    std::wstring SystemDir() override { return systemDir; }
    bool RegisterComponent(const std::wstring& p) override {
        r_.Add(L"register " + p);
        return !unregistrable.contains(p);
    }
    bool WriteSetting(const std::wstring& ini, const std::wstring& section, const std::wstring& key,
                      const std::wstring& value) override {
        r_.Add(L"setting " + ini + L" [" + section + L"] " + key + L"=" + value);
        return settingResult;
    }
    // Like Windows-1252: Latin-1 and the letters of ours it has besides (no "\u010D", "\u0107", "\u0111").
    std::wstring ansiBeyondLatin1 = L"\u0160\u0161\u017D\u017E";
    bool AnsiHolds(const std::wstring& text) override {
        for (const wchar_t c : text) {
            if (c > 0xFF && ansiBeyondLatin1.find(c) == std::wstring::npos) {
                return false;
            }
        }
        return true;
    }
    std::wstring ReadLayer(const std::wstring& name, const std::wstring& fallback) override {
        r_.Add(L"read layer " + name);
        auto it = layers.find(name);
        return it == layers.end() ? fallback : it->second;
    }
    LayerWrite WriteLayer(const std::wstring& name, const std::wstring& data) override {
        r_.Add(L"layer " + name + L"=" + data);
        auto it = layerResults.find(name);
        return it == layerResults.end() ? LayerWrite::Written : it->second;
    }
    std::wstring DesktopDirectory() override { return desktop; }
    std::wstring ProgramGroupFolder() override { return group; }
    bool CreateShortcut(const std::wstring& link, const std::wstring& target,
                        const std::wstring& dir) override {
        r_.Add(L"shortcut " + link + L" -> " + target + L" in " + dir);
        return !failingLinks.contains(link);
    }
    std::wstring SetupFolder() override { return setupFolder; }
    bool UnregisterComponent(const std::wstring& p) override {
        r_.Add(L"unregister " + p);
        return !unregistrable.contains(p);
    }
    bool DeleteLayer(const std::wstring& name) override {
        r_.Add(L"delete layer " + name);
        layers.erase(name);
        return true;
    }
    std::vector<std::wstring> RunningPrograms(const std::wstring& folder) override {
        r_.Add(L"running? " + folder);
        if (running.empty()) {
            return {};
        }
        std::vector<std::wstring> now = running.front();
        running.erase(running.begin());
        return now;
    }

private:
    Recorder& r_;
};

class FakeRegistration : public RunRegistration {
public:
    FakeRegistration(Recorder& r, FakeFiles& files) : r_(r), files_(files) {}
    std::optional<UninstallEntry> entry;          // what the system's list holds
    std::map<std::wstring, unsigned long> counts; // SharedDLLs
    std::wstring productVersion;                  // the product's version resource; "" for none
    bool copyWorks = true;
    bool entryWorks = true;
    std::set<std::wstring> failingCounts;

    bool protectWorks = true;
    std::wstring RemovalFolder() override { return L"C:\\PF\\Brantovik\\Uklanjanje"; }
    bool ProtectRemovalFolder() override {
        r_.Add(L"protect " + RemovalFolder());
        if (protectWorks) {
            files_.paths.insert(RemovalFolder());
        }
        return protectWorks;
    }
    bool CopySetupProgram(const std::wstring& dest) override {
        r_.Add(L"copy setup -> " + dest);
        if (copyWorks) {
            files_.paths.insert(dest);
        }
        return copyWorks;
    }
    std::wstring FileVersion(const std::wstring&) override { return productVersion; }
    std::wstring SetupVersion() override { return L"2021.1.0"; }
    std::wstring Today() override { return L"20261208"; }
    bool WriteUninstallEntry(const UninstallEntry& e) override {
        r_.Add(L"entry " + e.uninstallString);
        if (entryWorks) {
            entry = e;
        }
        return entryWorks;
    }
    std::optional<std::wstring> UninstallLocation() override {
        return entry ? std::optional<std::wstring>(entry->installLocation) : std::nullopt;
    }
    bool DeleteUninstallEntry() override {
        r_.Add(L"delete entry");
        entry.reset();
        seal.reset();
        return true;
    }
    std::optional<RecordSeal> seal; // the record's seal in the entry
    std::optional<RecordSeal> ReadRecordSeal() override { return seal; }
    bool WriteRecordSeal(const RecordSeal& s) override {
        r_.Add(L"seal");
        if (!entry) {
            return false;
        }
        seal = s;
        return true;
    }
    bool AddSharedUse(const std::wstring& p, bool wasThere) override {
        r_.Add(L"count up " + p + (wasThere ? L" (was there)" : L""));
        if (failingCounts.contains(p)) {
            return false;
        }
        auto [it, added] = counts.try_emplace(p, wasThere ? 1 : 0);
        ++it->second;
        return true;
    }
    SharedRelease ReleaseSharedUse(const std::wstring& p) override {
        r_.Add(L"count down " + p);
        auto it = counts.find(p);
        if (it == counts.end()) {
            return SharedRelease::Missing;
        }
        if (--it->second > 0) {
            return SharedRelease::StillUsed;
        }
        counts.erase(it);
        return SharedRelease::LastUse;
    }

private:
    Recorder& r_;
    FakeFiles& files_;
};

class FakeLog : public RunLog {
public:
    std::vector<std::wstring> lines;
    void Write(std::wstring_view step, std::wstring_view detail) override {
        lines.push_back(std::wstring(step) + L": " + std::wstring(detail));
    }
};

class FakeDialog : public RemovalDialog {
public:
    explicit FakeDialog(Recorder& r) : r_(r) {}
    bool yes = true;
    int retries = 0; // how many times the user presses "retry" before cancelling

    bool Confirm(std::wstring_view q) override {
        r_.Add(L"confirm " + std::wstring(q));
        return yes;
    }
    bool Retry(std::wstring_view problem) override {
        r_.Add(L"retry? " + std::wstring(problem));
        return retries-- > 0;
    }
    void ShowMessage(std::wstring_view t) override { r_.Add(L"message " + std::wstring(t)); }

private:
    Recorder& r_;
};

// One run over the fakes, all recording into one Recorder, against the server kBase.
struct RunFakes {
    static constexpr wchar_t kBase[] = L"https://srv";
    Recorder rec;
    FakeWindow window{rec};
    FakeFiles files{rec};
    FakeNetwork net{rec, files};
    FakeSystem sys{rec};
    FakeRegistration reg{rec, files};
    FakeLog log;

    FakeDialog dialog{rec};

    RunOutcome Run() { return InstallationRun(window, net, files, sys, reg, log, kBase).Execute(); }
    RemovalOutcome
    Remove(const std::wstring& programFolder = L"C:\\I\\zunor2021",
           const std::function<void(const std::vector<FailedItem>&)>& beforeRemovingCopy = {}) {
        return RemovalRun(dialog, files, sys, reg, log, programFolder).Execute(beforeRemovingCopy);
    }
};

} // namespace zunor::test
