#include "install/finishing_steps.h"

#include "common/texts.h"
#include "install/ansi_path.h"
#include "install/install_paths.h"

namespace zunor {

using namespace runlog; // the log's step names

void FinishingSteps::WriteSettings() {
    const std::wstring location = run_.Location();
    const std::wstring iniPath = ProgramFolderWithSlash(location) + texts::kSettingsFile;
    const AnsiPath folder = AnsiFormOf(ProgramFolder(location), run_.files, run_.system);
    if (folder.path.empty()) {
        run_.log.Write(kLogSetting, iniPath + L": not written, " + folder.why);
        run_.Fail(FailureKind::Setting, iniPath);
        return;
    }
    const bool written =
        run_.system.WriteSetting(iniPath, texts::kSettingsSection, texts::kSettingsKey, folder.path);
    const std::wstring form =
        folder.shortForm ? L"short form of " + ProgramFolder(location) : std::wstring(L"as typed");
    run_.log.Write(kLogSetting, iniPath + L": " + Result(written) + L", " + texts::kSettingsKey + L"=" +
                                    folder.path + L" (" + form + L")");
    if (!written) {
        run_.Fail(FailureKind::Setting, iniPath);
        return;
    }
    if (folder.shortForm) {
        shortForm_ = folder.path;
    }
    run_.placed.Add(RecordKind::Setting, iniPath);
}

void FinishingSteps::MarkProductExecutables() {
    for (const wchar_t* exe : {texts::kProductExe, texts::kUpdaterExe}) {
        const std::wstring valueName = ProgramFilePath(run_.Location(), exe);
        if (WriteLayer(valueName) == LayerWrite::Written) {
            run_.placed.Add(RecordKind::Layer, valueName);
        }
    }
}

void FinishingSteps::MakeDesktopShortcut() {
    MakeShortcut(run_.system.DesktopDirectory() + L"\\" + texts::kDesktopLink);
}

void FinishingSteps::MakeProgramGroup() {
    const std::wstring folder = run_.system.ProgramGroupFolder();
    if (!run_.files.PathExists(folder)) {
        // A folder that cannot be made shows up as the shortcut that cannot be saved in it.
        unsigned long error = 0;
        const bool created = run_.files.CreateFolder(folder, &error);
        run_.log.Write(kLogFolder, folder + L": created " + Result(created));
        if (created) {
            run_.placed.Add(RecordKind::Folder, folder);
        }
    }
    MakeShortcut(folder + L"\\" + texts::kGroupLink);
}

// The shortcut names the program folder in the same form as the settings.
void FinishingSteps::MakeShortcut(const std::wstring& linkPath) {
    const AnsiPath folder = AnsiFormOf(ProgramFolder(run_.Location()), run_.files, run_.system);
    if (folder.path.empty()) {
        run_.log.Write(kLogShortcut, linkPath + L": not made, " + folder.why);
        run_.Fail(FailureKind::Shortcut, linkPath);
        return;
    }
    const bool made =
        run_.system.CreateShortcut(linkPath, folder.path + L"\\" + texts::kProductExe, folder.path + L"\\");
    run_.log.Write(kLogShortcut, linkPath + L": " + Result(made) +
                                     (folder.shortForm ? L", short form " + folder.path : L""));
    if (!made) {
        run_.Fail(FailureKind::Shortcut, linkPath);
        return;
    }
    run_.placed.Add(RecordKind::Shortcut, linkPath);
}

// Where an empty mark already stands for the setup program's own folder, it is filled in; no mark
// is created there. At a drive root the folder ends in a backslash and the name doubles it.
void FinishingSteps::MarkSetupFolder() {
    const std::wstring setupFolder = run_.system.SetupFolder();
    for (const wchar_t* exe : {texts::kUpdaterExe, texts::kProductExe}) {
        const std::wstring valueName = setupFolder + L"\\" + exe;
        if (run_.system.ReadLayer(valueName, texts::kLayerData).empty()) {
            WriteLayer(valueName);
        }
    }
}

LayerWrite FinishingSteps::WriteLayer(const std::wstring& valueName) {
    const LayerWrite result = run_.system.WriteLayer(valueName, texts::kLayerData);
    const wchar_t* text = result == LayerWrite::Written     ? L"written"
                          : result == LayerWrite::KeyAbsent ? L"no Layers key, not marked"
                                                            : L"failed";
    run_.log.Write(kLogLayer, valueName + L": " + text);
    if (result == LayerWrite::Failed) {
        run_.Fail(FailureKind::Layer, valueName);
    }
    return result;
}

} // namespace zunor
