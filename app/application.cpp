#include "app/application.h"

#include <optional>
#include <string>

#include "generated/version.h"
#include "app/command_line.h"
#include "app/console_output.h"
#include "app/failure_report.h"
#include "window/frm_main.h"
#include "app/install_log.h"
#include "install/plan_listing.h"
#include "install/installation_run.h"
#include "app/process_memory.h"
#include "app/publisher_policy.h"
#include "download/signature_check.h"
#include "app/removal.h"
#include "system/known_folder.h"
#include "window/product_start.h"
#include "install/run_failure.h"
#include "app/silent_window.h"
#include "app/single_setup.h"
#include "common/texts.h"
#include "app/win32_ports.h"

namespace zunor {
namespace {

// The key this installer carries vouches for the folders' SHA256SUMS (through CNG).
Publisher BuildPublisher() {
    Publisher publisher;
    publisher.verify = [](std::string_view sums, std::string_view signature) {
        return modSetup::VerifyPublisherSignature(PublisherKeyPem(), sums, signature);
    };
    publisher.required = SignaturesRequired();
    return publisher;
}

struct RunResult {
    bool started = false;
    bool ended = false;  // a failure the run does not trap: the program ends
    int exitCode = kExitDone;
    std::size_t failures = 0;
    bool refused = false;  // the location was refused before anything was made
    std::optional<ProductFile> product;  // what the run placed, for /LAUNCH
};

// One installation run over the given window; untrapped failures are reported and become exit code 3.
// promptOwner: the window that a proxy's question is asked over; none unattended, where nobody answers.
RunResult RunInstallation(RunWindow& window, RunLog& log, const std::wstring& server, const std::wstring& systemDir,
                          std::size_t connections, bool repair, HWND promptOwner = nullptr) {
    WinNetwork network(window, connections, promptOwner, &log);
    WinFiles files;
    WinSystem system(systemDir);
    WinRegistration registration;
    InstallationRun run(window, network, files, system, registration, log, server, repair);
    run.SetPublisher(BuildPublisher());
    try {
        RunOutcome outcome = run.Execute();
        if (outcome.refused) return {false, false, kExitStopped, 0, true, std::nullopt};
        return {outcome.started, false, outcome.failures.empty() ? kExitDone : kExitIncomplete,
                outcome.failures.size(), false, outcome.product};
    } catch (const RunFailure& failure) {
        std::wstring report = FailureReport(failure);
        log.Write(L"failure", report);
        window.ShowMessage(report);
        return {true, true, kExitStopped, 0, false, std::nullopt};
    }
}

bool LooksUnattended(std::wstring_view arguments) {
    // Decides where a command-line error is shown when the line could not be parsed.
    std::wstring upper(arguments);
    for (auto& c : upper) c = static_cast<wchar_t>(towupper(c));
    upper = L" " + upper + L" ";
    return upper.find(L" /S ") != std::wstring::npos || upper.find(L" /LIST ") != std::wstring::npos;
}

std::wstring Summary(const RunResult& result) {
    if (result.ended || result.refused) return texts::kSummaryFailed;
    if (result.failures == 0) return texts::kSummaryOk;
    return texts::kSummaryIncompletePrefix + std::to_wstring(result.failures) + texts::kSummaryIncompleteSuffix;
}

int Unattended(const CommandLine& options, const std::wstring& server, RunLog& log, ConsoleOutput& console) {
    std::wstring location = options.location.value_or(texts::kDefaultLocation);
    SilentWindow window(location, !options.noDesktop, !options.noGroup, console);
    RunResult result =
        RunInstallation(window, log, server, QuerySystemDirectory(), options.connections, options.repair);
    if (!result.ended && !result.refused && options.launch) {
        // Under the SYSTEM account (a deployment tool) there is no desktop shell: the output says so.
        const std::wstring why = StartPlacedProduct(
            result.product, location + texts::kProgramFolder + L"\\" + texts::kProductExe, log);
        if (!why.empty()) console.Print(why);
    }
    console.Print(Summary(result));
    log.Write(L"summary", Summary(result));
    return result.exitCode;
}

// /LIST: the plan on the console and in the log; nothing is made. Exit 0, or 3 without the listings.
int ListOnly(const CommandLine& options, const std::wstring& server, RunLog& log, ConsoleOutput& console) {
    const std::wstring location = options.location.value_or(texts::kDefaultLocation);
    SilentWindow window(location, false, false, console);
    WinNetwork network(window);
    WinFiles files;
    WinSystem system(QuerySystemDirectory());
    try {
        ListPlan(network, files, system, log, [&](std::wstring_view line) { console.Print(line); }, server, location,
                 options.repair, BuildPublisher());
        return kExitDone;
    } catch (const RunFailure& failure) {
        std::wstring report = FailureReport(failure);
        console.Print(report);
        log.Write(L"failure", report);
        return kExitStopped;
    }
}

}  // namespace

int RunApplication(HINSTANCE instance, int showCommand) {
    std::wstring_view arguments = ArgumentsOf(GetCommandLineW());
    CommandLineResult parsed = ParseCommandLine(arguments);
    ConsoleOutput console;
    if (!parsed.options) {
        if (LooksUnattended(arguments)) {
            console.Print(parsed.error);
        } else {
            MessageBoxW(nullptr, parsed.error.c_str(), texts::kAppTitle, MB_OK);
        }
        return kExitBadCommandLine;
    }
    const CommandLine& options = *parsed.options;
    std::wstring server = options.server.value_or(ZUNOR_SERVER_BASE);

    NullRunLog noLog;
    std::optional<FileRunLog> fileLog;
    if (options.logFile) {
        fileLog.emplace(*options.logFile);
        if (!fileLog->ok()) {
            std::wstring message = texts::kBadValue + std::wstring(L"/LOG=") + *options.logFile;
            if (options.silent || options.list) console.Print(message);
            else MessageBoxW(nullptr, message.c_str(), texts::kAppTitle, MB_OK);
            return kExitBadCommandLine;
        }
    }
    RunLog& log = fileLog ? static_cast<RunLog&>(*fileLog) : noLog;
    log.Write(L"start", std::wstring(L"ZunorSetup ") + std::wstring(ZUNOR_VERSION_TEXT, ZUNOR_VERSION_TEXT +
                                                                      sizeof(ZUNOR_VERSION_TEXT) - 1) +
                            L" " + std::wstring(arguments));

    // /LIST makes nothing, so it neither waits for nor blocks another setup program. The temporary copy
    // that removes the product is started by the one that holds the guard, and keeps it when that one ends.
    std::optional<SingleSetup> single;
    if (!options.list) single.emplace();
    if (single && !single->first() && !options.fromCopy) {
        log.Write(L"failure", texts::kAlreadyRunning);
        if (options.silent) console.Print(texts::kAlreadyRunning);
        else MessageBoxW(nullptr, texts::kAlreadyRunning, texts::kAppTitle, MB_OK);
        log.Write(L"exit", std::to_wstring(kExitStopped));
        return kExitStopped;
    }
    if (options.uninstall) {
        int code = RunRemoval(options, log, console);
        log.Write(L"exit", std::to_wstring(code));
        return code;
    }
    if (options.list) {
        int code = ListOnly(options, server, log, console);
        log.Write(L"exit", std::to_wstring(code));
        return code;
    }
    if (options.silent) {
        int code = Unattended(options, server, log, console);
        log.Write(L"memory", PeakWorkingSetText());
        log.Write(L"exit", std::to_wstring(code));
        return code;
    }

    frmMain window(instance);
    if (!window.Create(showCommand)) return kExitStopped;
    window.SetLog(log);
    if (options.location) window.SetInitialLocation(*options.location);
    if (options.noDesktop) window.SetInitialChoice(frmMain::Choice::DesktopShortcut, false);
    if (options.noGroup) window.SetInitialChoice(frmMain::Choice::ProgramGroup, false);
    window.SetNextHandler([&] {
        RunResult result =
            RunInstallation(window, log, server, window.SystemDir(), options.connections, options.repair, window.hwnd());
        if (!result.started) return;  // no location, or a refused one: nothing happened, the code stays
        window.SetExitCode(result.exitCode);
        log.Write(L"summary", Summary(result));
        log.Write(L"memory", PeakWorkingSetText());
        log.Write(L"exit", std::to_wstring(result.exitCode));
        if (result.ended) ExitProcess(static_cast<UINT>(result.exitCode));
    });
    return window.RunMessageLoop();
}

}  // namespace zunor
