#include "wizard/installation_run.h"

#include <utility>

#include "wizard/install_paths.h"
#include "wizard/run_failure.h"
#include "wizard/texts.h"
#include "wizard/transfer_log.h"
#include "wizard/utf8_text.h"

namespace zunor {
namespace {

// Log step names.
constexpr wchar_t kLogFolder[] = L"folder";
constexpr wchar_t kLogListing[] = L"listing";
constexpr wchar_t kLogBadName[] = L"bad name";
constexpr wchar_t kLogFile[] = L"file";
constexpr wchar_t kLogKept[] = L"kept";
constexpr wchar_t kLogRegister[] = L"register";
constexpr wchar_t kLogSetting[] = L"setting";
constexpr wchar_t kLogLayer[] = L"layer";
constexpr wchar_t kLogShortcut[] = L"shortcut";
constexpr wchar_t kLogReport[] = L"report";

// ERROR_FILE_NOT_FOUND: the number a listing gets when nothing better says why its file is missing.
constexpr int kFileNotFound = 2;

std::size_t Index(ListingKind kind) {
    return static_cast<std::size_t>(kind);
}

const wchar_t* Result(bool ok) {
    return ok ? L"ok" : L"failed";
}

int ListingFailureNumber(const TransferResult& fetched) {
    if (fetched.ok()) {
        return kFileNotFound;
    }
    if (fetched.systemError != 0) {
        return static_cast<int>(fetched.systemError);
    }
    return fetched.status != 0 ? fetched.status : kFileNotFound;
}

} // namespace

InstallationRun::InstallationRun(RunWindow& window, RunNetwork& network, RunFiles& files, RunSystem& system,
                                 RunLog& log, std::wstring serverBase)
    : window_(window), network_(network), files_(files), system_(system), log_(log),
      serverBase_(std::move(serverBase)) {
    while (!serverBase_.empty() && serverBase_.back() == L'/') {
        serverBase_.pop_back();
    }
}

RunOutcome InstallationRun::Execute() {
    failures_.clear();
    if (window_.ReadLocation().empty()) {
        window_.ShowMessage(texts::kNoLocation);
        return {};
    }
    window_.SetCancelCaption(texts::kFinish);
    CreateFolders();

    FetchListing(ListingKind::Support);
    FetchListing(ListingKind::Program);
    FetchListing(ListingKind::Template);
    ShowProgress();

    const Names program = ReadListing(ListingKind::Program);
    const Names support = ReadListing(ListingKind::Support);
    const Names templates = ReadListing(ListingKind::Template);

    RetrieveList(ListingKind::Program, program);
    RetrieveList(ListingKind::Template, templates);
    window_.SetStatus(texts::kFinishing);
    window_.ProcessPendingMessages();
    RetrieveList(ListingKind::Support, support);

    WriteSettings();
    MarkProductExecutables();
    if (window_.DesktopShortcutChosen()) {
        MakeDesktopShortcut();
    }
    if (window_.ProgramGroupChosen()) {
        MakeProgramGroup();
    }
    window_.DisableNext();
    MarkSetupFolder();
    HideProgress();
    ShowOutcome();
    return {true, failures_};
}

// The user may edit the box whenever the run yields, so every use reads it again.
std::wstring InstallationRun::Location() {
    return WithSeparator(window_.ReadLocation());
}

void InstallationRun::CreateFolders() {
    for (std::size_t i = 0; i < FolderLayout(L"").size(); ++i) {
        const std::wstring path = FolderLayout(window_.ReadLocation())[i];
        if (files_.PathExists(path)) {
            log_.Write(kLogFolder, path + L": exists");
            continue;
        }
        unsigned long error = 0;
        const bool created = files_.CreateFolder(path, &error);
        log_.Write(kLogFolder, path + L": created " + Result(created));
        if (!created) {
            throw RunFailure{static_cast<int>(error), texts::kFolderFailed, texts::kContextFolder + path};
        }
    }
}

void InstallationRun::FetchListing(ListingKind kind) {
    const std::wstring url = ListingUrl(serverBase_, kind);
    network_.PurgeUrlCache(url);
    const std::wstring folder = ProgramFolderWithSlash(Location());
    const TransferResult result = network_.DownloadListing(url, folder, ListingFileName(kind));
    listingFetches_[Index(kind)] = result;
    log_.Write(kLogListing, DescribeTransfer(url, folder + ListingFileName(kind), result));
}

void InstallationRun::ShowProgress() {
    window_.SetProgressTrackVisible(true);
    window_.SetStatusVisible(true);
    window_.SetStatus(texts::kDownloading);
    window_.ProcessPendingMessages();
}

// A listing whose download failed is still read from the copy an earlier run left.
InstallationRun::Names InstallationRun::ReadListing(ListingKind kind) {
    const std::wstring path = ProgramFolderWithSlash(Location()) + ListingFileName(kind);
    const std::optional<std::string> page = files_.ReadFile(path);
    const TransferResult& fetched = listingFetches_[Index(kind)];
    if (!page) {
        log_.Write(kLogListing, path + L": absent");
        throw RunFailure{ListingFailureNumber(fetched), texts::kListingFailed,
                         texts::kContextUrl + ListingUrl(serverBase_, kind)};
    }
    if (!fetched.ok()) {
        Fail(FailureKind::NotDownloaded, ListingFileName(kind), ReasonText(fetched));
    }
    const std::vector<std::string> rawNames = ParseListing(*page, kind);
    log_.Write(kLogListing, path + L": " + std::to_wstring(rawNames.size()) + L" names");
    return AcceptNames(rawNames);
}

InstallationRun::Names InstallationRun::AcceptNames(const std::vector<std::string>& rawNames) {
    Names accepted;
    accepted.reserve(rawNames.size());
    for (const std::string& raw : rawNames) {
        std::wstring why;
        if (auto name = DecodeListedName(raw, &why)) {
            accepted.push_back(std::move(*name));
        } else {
            log_.Write(kLogBadName, DisplayText(raw) + L": " + why);
            Fail(FailureKind::BadName, DisplayText(raw));
        }
    }
    return accepted;
}

void InstallationRun::RetrieveList(ListingKind kind, const Names& names) {
    const double count = static_cast<double>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        switch (kind) {
        case ListingKind::Program:
            RetrieveProgramFile(names[i]);
            break;
        case ListingKind::Template:
            RetrieveTemplateFile(names[i]);
            break;
        case ListingKind::Support:
            RetrieveSupportFile(names[i]);
            break;
        }
        window_.SetProgress((static_cast<double>(i) + 1.0) / count); // full after the last file
    }
}

void InstallationRun::RetrieveProgramFile(const ListedName& name) {
    const std::wstring folder = ProgramFolderWithSlash(Location());
    const std::wstring destination = folder + name.fileName;
    if (!InsideFolder(folder, destination, name)) {
        return;
    }
    const std::wstring url = FileUrl(serverBase_, ListingKind::Program, name.urlName);
    network_.PurgeUrlCache(url);
    // The user's data lives in the database: a reinstallation never replaces it.
    if (IsDatabaseName(name.fileName) && files_.FileExists(destination)) {
        log_.Write(kLogKept, destination);
        return;
    }
    Download(url, destination, name);
}

void InstallationRun::RetrieveTemplateFile(const ListedName& name) {
    const std::wstring folder = TemplateFolderWithSlash(Location());
    const std::wstring destination = folder + name.fileName;
    if (!InsideFolder(folder, destination, name)) {
        return;
    }
    const std::wstring url = FileUrl(serverBase_, ListingKind::Template, name.urlName);
    network_.PurgeUrlCache(url);
    Download(url, destination, name);
}

// A component whose download failed is registered from the copy already there, if there is one.
void InstallationRun::RetrieveSupportFile(const ListedName& name) {
    const std::wstring folder = system_.SystemDir();
    const std::wstring destination = folder + L"\\" + name.fileName;
    if (!InsideFolder(folder, destination, name)) {
        return;
    }
    const std::wstring url = FileUrl(serverBase_, ListingKind::Support, name.urlName);
    network_.PurgeUrlCache(url);
    if (!Download(url, destination, name) && !files_.FileExists(destination)) {
        return;
    }
    const bool registered = system_.RegisterComponent(destination);
    log_.Write(kLogRegister, destination + L": " + Result(registered));
    if (!registered) {
        Fail(FailureKind::NotRegistered, name.fileName);
    }
}

bool InstallationRun::InsideFolder(const std::wstring& folder, const std::wstring& path,
                                   const ListedName& name) {
    if (files_.IsInside(folder, path)) {
        return true;
    }
    log_.Write(kLogBadName, DisplayText(name.raw) + L": " + texts::kRefusedOutsideFolder);
    Fail(FailureKind::BadName, DisplayText(name.raw));
    return false;
}

bool InstallationRun::Download(const std::wstring& url, const std::wstring& destination,
                               const ListedName& name) {
    const TransferResult result = network_.DownloadFile(url, destination, TransferOptions{});
    log_.Write(kLogFile, DescribeTransfer(url, destination, result));
    if (!result.ok()) {
        Fail(FailureKind::NotDownloaded, name.fileName, ReasonText(result));
    }
    return result.ok();
}

void InstallationRun::WriteSettings() {
    const std::wstring location = Location();
    const std::wstring iniPath = ProgramFolderWithSlash(location) + texts::kSettingsFile;
    const bool written =
        system_.WriteSetting(iniPath, texts::kSettingsSection, texts::kSettingsKey, ProgramFolder(location));
    log_.Write(kLogSetting, iniPath + L": " + Result(written));
    if (!written) {
        Fail(FailureKind::Setting, iniPath);
    }
}

void InstallationRun::MarkProductExecutables() {
    WriteLayer(ProgramFilePath(Location(), texts::kProductExe));
    WriteLayer(ProgramFilePath(Location(), texts::kUpdaterExe));
}

void InstallationRun::MakeDesktopShortcut() {
    MakeShortcut(system_.DesktopDirectory() + L"\\" + texts::kDesktopLink);
}

void InstallationRun::MakeProgramGroup() {
    const std::wstring folder = system_.ProgramGroupFolder();
    if (!files_.PathExists(folder)) {
        // A folder that cannot be made shows up as the shortcut that cannot be saved in it.
        unsigned long error = 0;
        const bool created = files_.CreateFolder(folder, &error);
        log_.Write(kLogFolder, folder + L": created " + Result(created));
    }
    MakeShortcut(folder + L"\\" + texts::kGroupLink);
}

void InstallationRun::MakeShortcut(const std::wstring& linkPath) {
    const std::wstring location = Location();
    const bool made = system_.CreateShortcut(linkPath, ProgramFilePath(location, texts::kProductExe),
                                             ProgramFolderWithSlash(location));
    log_.Write(kLogShortcut, linkPath + L": " + Result(made));
    if (!made) {
        Fail(FailureKind::Shortcut, linkPath);
    }
}

// Where an empty mark already stands for the setup program's own folder, it is filled in; no mark
// is created there. At a drive root the folder ends in a backslash and the name doubles it.
void InstallationRun::MarkSetupFolder() {
    const std::wstring setupFolder = system_.SetupFolder();
    for (const wchar_t* exe : {texts::kUpdaterExe, texts::kProductExe}) {
        const std::wstring valueName = setupFolder + L"\\" + exe;
        if (system_.ReadLayer(valueName, texts::kLayerData).empty()) {
            WriteLayer(valueName);
        }
    }
}

void InstallationRun::WriteLayer(const std::wstring& valueName) {
    const LayerWrite result = system_.WriteLayer(valueName, texts::kLayerData);
    const wchar_t* text = result == LayerWrite::Written     ? L"written"
                          : result == LayerWrite::KeyAbsent ? L"no Layers key, not marked"
                                                            : L"failed";
    log_.Write(kLogLayer, valueName + L": " + text);
    if (result == LayerWrite::Failed) {
        Fail(FailureKind::Layer, valueName);
    }
}

void InstallationRun::HideProgress() {
    window_.SetProgressTrackVisible(false);
    window_.SetStatusVisible(false);
}

void InstallationRun::ShowOutcome() {
    if (failures_.empty()) {
        log_.Write(kLogReport, texts::kSuccess);
        window_.ShowMessage(texts::kSuccess);
        return;
    }
    for (const FailedItem& item : failures_) {
        log_.Write(kLogReport, FormatItem(item));
    }
    window_.ShowMessage(FormatReport(failures_));
}

void InstallationRun::Fail(FailureKind kind, std::wstring name, std::wstring reason) {
    failures_.push_back(FailedItem{kind, std::move(name), std::move(reason)});
}

} // namespace zunor
