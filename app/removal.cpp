#include "app/removal.h"

#include <windows.h>

#include <sddl.h>

#include "app/failure_report.h"
#include "app/win32_ports.h"
#include "common/sha256_plain.h"
#include "common/texts.h"
#include "install/install_paths.h"
#include "install/removal_run.h"
#include "install/run_failure.h"
#include "system/known_folder.h"
#include "system/loaded_on_use.h"
#include "system/protected_folder.h"
#include "system/unique_handles.h"

namespace zunor {
namespace {

// How long the temporary copy waits for the original to let go of its file.
constexpr DWORD kOriginalExitWaitMs = 30000;
// The temporary copy's folder: this, then 32 random hexadecimal digits.
constexpr wchar_t kCopyFolderPrefix[] = L"ZunorUkloni-";

class MessageBoxDialog final : public RemovalDialog {
public:
    bool Confirm(std::wstring_view question) override { return Box(question, MB_YESNO) == IDYES; }
    bool Retry(std::wstring_view problem) override { return Box(problem, MB_RETRYCANCEL) == IDRETRY; }
    void ShowMessage(std::wstring_view text) override { Box(text, MB_OK); }

private:
    static int Box(std::wstring_view text, UINT buttons) {
        return MessageBoxW(nullptr, std::wstring(text).c_str(), texts::kAppTitle, buttons | MB_SETFOREGROUND);
    }
};

// /S: whoever runs it has already decided; a running product ends the removal.
class ConsoleDialog final : public RemovalDialog {
public:
    explicit ConsoleDialog(ConsoleOutput& console) : console_(console) {}
    bool Confirm(std::wstring_view) override { return true; }
    bool Retry(std::wstring_view problem) override {
        console_.Print(problem);
        return false;
    }
    void ShowMessage(std::wstring_view text) override { console_.Print(text); }

private:
    ConsoleOutput& console_;
};

std::wstring FolderOfProgram() { return FolderOf(SetupProgramPath()); }

bool SamePathAs(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Where the product to remove is: the location given with /D=, the folder this copy runs from (an
// earlier version kept it beside the product), the folder the entry names, or the default location.
std::wstring ProgramFolderToRemove(const CommandLine& options, WinFiles& files, WinRegistration& registration) {
    if (options.location) return ProgramFolder(WithSeparator(*options.location));
    const std::wstring here = FolderOfProgram();
    if (!SamePathAs(here, RemovalFolderPath()) && files.FileExists(here + L"\\" + texts::kRecordFile)) return here;
    if (auto location = registration.UninstallLocation(); location && !location->empty()) return *location;
    return ProgramFolder(texts::kDefaultLocation);
}

std::wstring Quoted(const std::wstring& argument) { return L"\"" + argument + L"\""; }

// A new folder of the temporary folder for the copy that runs the removal: its name is drawn at random
// (nobody can have put a library there beforehand), this program makes it, and only administrators and
// the system may write in it. Empty when it cannot be made.
std::wstring MakeCopyFolder() {
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH)
        return {};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                                              SDDL_REVISION_1, &descriptor, nullptr))
        return {};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    std::wstring folder;
    for (int attempt = 0; attempt < 4 && folder.empty(); ++attempt) {
        std::uint8_t random[16] = {};
        if (!BCRYPT_SUCCESS(
                onUse::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            break;
        const std::wstring name = std::wstring(temporary, length) + kCopyFolderPrefix + HexText(random);
        // A folder of that name that is there already is not ours.
        if (CreateDirectoryW(name.c_str(), &attributes))
            folder = name;
    }
    LocalFree(descriptor);
    return folder;
}

// The copy in the product's folder cannot delete itself, so it runs the removal from a temporary copy
// of itself and waits for that copy's exit code, which comes through a pipe just before the copy
// removes this program's file (this program has ended by then).
int RemoveFromTemporaryCopy(const CommandLine& options, const std::wstring& programFolder, RunLog& log) {
    const std::wstring folder = MakeCopyFolder();
    const std::wstring temporary = folder + L"\\" + texts::kUninstallerFile;
    if (folder.empty() || !CopyFileW(SetupProgramPath().c_str(), temporary.c_str(), TRUE)) {
        log.Write(L"failure",
                  L"no temporary copy: " + (folder.empty() ? std::wstring(L"no folder") : temporary));
        if (!folder.empty())
            RemoveDirectoryW(folder.c_str());
        return kExitStopped;
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    HANDLE self = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return kExitStopped;
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0))
        return kExitStopped;
    UniqueHandle selfHandle(self);

    std::wstring command = Quoted(temporary) + L" " + texts::kUninstallSwitch;
    if (options.silent) command += std::wstring(L" ") + texts::kSilentSwitch;
    if (options.logFile) command += L" " + Quoted(L"/LOG=" + *options.logFile);
    command += L" /FROMCOPY=" + std::to_wstring(reinterpret_cast<std::uintptr_t>(writeEnd)) + L"," +
               std::to_wstring(reinterpret_cast<std::uintptr_t>(self));
    command += L" " + Quoted(L"/D=" + FolderOf(programFolder) + L"\\\\");

    // The copy writes to the same console or pipe as this program.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE outCopy = nullptr;
    if (out && out != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), out, GetCurrentProcess(), &outCopy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = outCopy;
        startup.hStdError = outCopy;
    }
    UniqueHandle outHandle(outCopy);
    PROCESS_INFORMATION process{};
    log.Write(L"uninstaller", L"runs from " + temporary);
    // Its own folder is its current one: a program's current folder cannot be removed while it runs.
    if (!CreateProcessW(temporary.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        DeleteFileW(temporary.c_str());
        RemoveDirectoryW(folder.c_str());
        return kExitStopped;
    }
    CloseHandle(process.hThread);
    UniqueHandle child(process.hProcess);
    writer.reset();
    outHandle.reset();
    DWORD code = kExitStopped;
    DWORD got = 0;
    if (!::ReadFile(reader.get(), &code, sizeof code, &got, nullptr) || got != sizeof code) {
        // The copy ended without a word: its own exit code is the best there is.
        WaitForSingleObject(child.get(), INFINITE);
        if (!GetExitCodeProcess(child.get(), &code)) code = kExitStopped;
    }
    return static_cast<int>(code);
}

// The temporary copy's side: the exit code to the original, once.
class OriginalProgram {
public:
    explicit OriginalProgram(const std::optional<std::pair<std::uintptr_t, std::uintptr_t>>& handles) {
        if (handles) {
            pipe_.reset(reinterpret_cast<HANDLE>(handles->first));
            process_.reset(reinterpret_cast<HANDLE>(handles->second));
        }
    }
    // Tells the original its exit code and waits until it has ended.
    void Release(int code) {
        if (!pipe_) return;
        const DWORD value = static_cast<DWORD>(code);
        DWORD written = 0;
        ::WriteFile(pipe_.get(), &value, sizeof value, &written, nullptr);
        pipe_.reset();
        if (process_) WaitForSingleObject(process_.get(), kOriginalExitWaitMs);
        process_.reset();
    }

private:
    UniqueHandle pipe_;
    UniqueHandle process_;
};

} // namespace

int RunRemoval(const CommandLine& options, RunLog& log, ConsoleOutput& console) {
    WinFiles files;
    WinSystem system(QuerySystemDirectory());
    WinRegistration registration;
    const std::wstring programFolder = ProgramFolderToRemove(options, files, registration);
    // The copy the entry runs cannot remove its own file: it hands the removal to a temporary copy.
    const std::wstring self = SetupProgramPath();
    const bool installedCopy = SamePathAs(self, programFolder + L"\\" + texts::kUninstallerFile) ||
                               SamePathAs(self, RemovalFolderPath() + L"\\" + texts::kUninstallerFile);
    if (!options.fromCopy && installedCopy) {
        return RemoveFromTemporaryCopy(options, programFolder, log);
    }

    MessageBoxDialog boxes;
    ConsoleDialog printed(console);
    RemovalDialog& dialog = options.silent ? static_cast<RemovalDialog&>(printed) : boxes;
    OriginalProgram original(options.fromCopy);
    RemovalRun run(dialog, files, system, registration, log, programFolder);
    int code = kExitDone;
    std::wstring summary;
    try {
        const RemovalOutcome outcome = run.Execute([&](const std::vector<FailedItem>& failures) {
            original.Release(failures.empty() ? kExitDone : kExitIncomplete);
        });
        switch (outcome.end) {
        case RemovalOutcome::End::NothingToRemove:
            break;  // the message said so
        case RemovalOutcome::End::Stopped:
            code = kExitStopped;
            summary = texts::kSummaryRemoveFailed;
            break;
        case RemovalOutcome::End::Removed:
            code = outcome.failures.empty() ? kExitDone : kExitIncomplete;
            summary = outcome.failures.empty() ? std::wstring(texts::kSummaryRemoved)
                                               : texts::kSummaryRemoveIncompletePrefix +
                                                     std::to_wstring(outcome.failures.size()) +
                                                     texts::kSummaryIncompleteSuffix;
            break;
        }
    } catch (const RunFailure& failure) {
        const std::wstring report = FailureReport(failure);
        log.Write(L"failure", report);
        dialog.ShowMessage(report);
        code = kExitStopped;
        summary = texts::kSummaryRemoveFailed;
    }
    original.Release(code);
    if (!summary.empty()) {
        if (options.silent) console.Print(summary);
        log.Write(L"summary", summary);
    }
    if (options.fromCopy) {
        // The temporary copy goes with its folder when the computer restarts.
        const std::wstring self = SetupProgramPath();
        MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        if (NameOf(FolderOf(self)).starts_with(kCopyFolderPrefix))
            MoveFileExW(FolderOf(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return code;
}

} // namespace zunor
