#include "install/installation_run.h"

#include <utility>

#include "common/texts.h"
#include "install/ansi_path.h"
#include "install/file_retrieval.h"
#include "install/finishing_steps.h"
#include "install/install_paths.h"
#include "install/listed_name.h"
#include "install/listing_reader.h"
#include "install/removal_registration.h"
#include "install/run_failure.h"

namespace zunor {
namespace {

using namespace runlog;

// ERROR_REPARSE_POINT_ENCOUNTERED: a folder on the way is a link or junction.
constexpr int kErrorRedirected = 4395;

} // namespace

InstallationRun::InstallationRun(RunWindow& window, RunNetwork& network, RunFiles& files, RunSystem& system,
                                 RunRegistration& registration, RunLog& log, std::wstring serverBase,
                                 bool repair)
    : run_{window, network, files, system, registration, log, {}, {}}, origins_(SplitOrigins(serverBase)),
      repair_(repair) {}

RunOutcome InstallationRun::Execute() {
    run_.failures.clear();
    if (run_.window.ReadLocation().empty()) {
        run_.window.ShowMessage(texts::kNoLocation);
        return {};
    }
    if (!LocationUsable() || !ProductClosed()) {
        return {false, {}, true, std::nullopt};
    }
    run_.window.SetCancelCaption(texts::kFinish);
    CreateFolders();

    ListingReader listings(run_, origins_, publisher_);
    listings.Read();
    RemoveLeftovers(listings.Plan());

    // Program files, templates, then components; several at a time, finished in this order.
    FileRetrieval retrieval(run_, listings, repair_);
    retrieval.Run();

    FinishingSteps finishing(run_);
    finishing.WriteSettings();
    finishing.MarkProductExecutables();
    if (run_.window.DesktopShortcutChosen()) {
        finishing.MakeDesktopShortcut();
    }
    if (run_.window.ProgramGroupChosen()) {
        finishing.MakeProgramGroup();
    }
    run_.window.DisableNext();
    finishing.MarkSetupFolder();
    RemovalRegistration(run_, listings.Earlier(), listings.EarlierRecordPath(),
                        retrieval.ComponentsFoundThere())
        .Register();
    HideProgress();
    ShowOutcome(finishing.ShortForm());
    return {true, run_.failures, false, retrieval.Product()};
}

// Checked before anything is made: a location Windows cannot use, or one whose program folder the
// settings cannot name exactly, is refused; the user can correct it and press "Dalje" again.
bool InstallationRun::LocationUsable() {
    const std::wstring location = run_.window.ReadLocation();
    std::wstring message;
    if (const std::optional<LocationFault> fault = CheckLocation(location)) {
        message = LocationMessage(location, *fault);
    } else {
        const AnsiPath folder = AnsiFormOf(ProgramFolder(location), run_.files, run_.system);
        if (!folder.path.empty()) {
            return true;
        }
        run_.log.Write(kLogLocation, folder.why);
        message = AnsiRefusalMessage(location, run_.system);
    }
    run_.log.Write(kLogLocation, message);
    run_.window.ShowMessage(message);
    return false;
}

// Files about to be replaced must not be running; every program in the program folder may be.
bool InstallationRun::ProductClosed() {
    const std::wstring program = ProgramFolder(run_.Location());
    for (;;) {
        const std::vector<std::wstring> running = run_.system.RunningPrograms(program);
        if (running.empty()) {
            return true;
        }
        std::wstring problem = texts::kProductRunning;
        for (const std::wstring& path : running) {
            run_.log.Write(kLogRunning, path);
            problem += path + L"\r\n";
        }
        if (!run_.window.AskRetry(problem)) {
            run_.log.Write(kLogReport, texts::kInstallStopped);
            run_.window.ShowMessage(texts::kInstallStopped);
            return false;
        }
    }
}

void InstallationRun::CreateFolders() {
    for (std::size_t i = 0; i < FolderLayout(L"").size(); ++i) {
        const std::wstring path = FolderLayout(run_.window.ReadLocation())[i];
        if (run_.files.PathExists(path)) {
            run_.log.Write(kLogFolder, path + L": exists");
            continue;
        }
        unsigned long error = 0;
        const bool created = run_.files.CreateFolder(path, &error);
        run_.log.Write(kLogFolder, path + L": created " + Result(created));
        if (!created) {
            throw RunFailure{static_cast<int>(error), texts::kFolderFailed, texts::kContextFolder + path};
        }
        run_.placed.Add(RecordKind::Folder, path);
    }
    // Someone who can write there may have made one of them a link or junction (into the Windows
    // folder, say). Nothing goes through one: the location and the program folder end the run, DATA and
    // TEMPLATE are items of the report (their files are refused one by one).
    for (std::size_t i = 0; i < FolderLayout(L"").size(); ++i) {
        const std::wstring path = FolderLayout(run_.window.ReadLocation())[i];
        if (run_.files.ReachedDirectly(path)) {
            continue;
        }
        run_.log.Write(kLogRedirected, path);
        if (i < 2) {
            throw RunFailure{kErrorRedirected, texts::kFolderRedirected, texts::kContextFolder + path};
        }
        run_.Fail(FailureKind::Redirected, path);
    }
}

// A run that was killed (or lost its power) left its temporary files beside what it was placing. They go
// before anything is placed, so they never pile up; a setup program that still runs keeps its own. In
// the system folder, which is everybody's, only those of the listed components count.
void InstallationRun::RemoveLeftovers(const InstallPlan& plan) {
    const std::wstring program = ProgramFolder(run_.Location());
    std::vector<std::wstring> leftovers = run_.files.LeftoverParts(program);
    for (std::wstring& path : run_.files.LeftoverParts(program + L"\\TEMPLATE")) {
        leftovers.push_back(std::move(path));
    }
    for (std::wstring& path : run_.files.LeftoverParts(run_.system.SystemDir())) {
        const std::optional<PartFileName> part = ParsePartFileName(NameOf(path));
        for (const PlanEntry* entry : plan[ListingKind::Support].Files()) {
            if (part && SamePath(part->target, entry->fileName)) {
                leftovers.push_back(path);
                break;
            }
        }
    }
    for (const std::wstring& path : leftovers) {
        const RunFiles::Removal removal = run_.files.RemoveFile(path);
        const bool gone = removal == RunFiles::Removal::Removed || removal == RunFiles::Removal::Absent;
        run_.log.Write(kLogLeftover, path + (gone ? L": removed" : L": could not be removed"));
    }
}

void InstallationRun::HideProgress() {
    run_.window.SetProgressTrackVisible(false);
    run_.window.SetStatusVisible(false);
}

void InstallationRun::ShowOutcome(const std::wstring& shortForm) {
    std::wstring text = texts::kSuccess;
    if (run_.failures.empty()) {
        run_.log.Write(kLogReport, texts::kSuccess);
    } else {
        for (const FailedItem& item : run_.failures) {
            run_.log.Write(kLogReport, FormatItem(item));
        }
        text = FormatReport(run_.failures);
    }
    if (!shortForm.empty()) {
        const std::wstring note = texts::kShortFormNote + shortForm;
        run_.log.Write(kLogReport, note);
        text += L"\r\n\r\n" + note;
    }
    run_.window.ShowMessage(text);
}

} // namespace zunor
