// The desktop and program-group folders from the shell, and shortcuts through the shell's link object.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "system/desktop_folder.h"
#include "system/program_group.h"
#include "system/shortcut.h"
#include "system_test_support.h"

namespace {

using zunor::testing::Exists;
using zunor::testing::TempFolder;
using zunor::testing::WriteBytes;

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    return path;
}

TEST(DesktopFolder, ComesFromTheShell) {
    const std::wstring desktop = zunor::getDesktopDirectory();
    ASSERT_FALSE(desktop.empty());
    EXPECT_EQ(desktop, ShellFolder(CSIDL_DESKTOPDIRECTORY));
    EXPECT_NE(desktop.back(), L'\\');
}

TEST(DesktopFolder, FallbackIsBuiltFromTheLogonName) {
    wchar_t name[256] = {};
    DWORD size = 256;
    ASSERT_TRUE(GetUserNameW(name, &size));
    ASSERT_NE(name[0], L'\0');
    EXPECT_EQ(zunor::DesktopFallbackDirectory(),
              std::wstring(L"C:\\Documents and Settings\\") + name + L"\\Desktop");
}

TEST(ProgramGroup, IsBrantovikInTheCommonProgramsFolder) {
    EXPECT_EQ(zunor::ProgramGroupFolder(), ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Brantovik");
}

class ShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = folder_ / L"zunor2021";
        ASSERT_TRUE(CreateDirectoryW(program_.c_str(), nullptr));
        target_ = program_ + L"\\Zunor2021VK.exe";
        workDir_ = program_ + L"\\";
        WriteBytes(target_, "MZ");
    }
    TempFolder folder_;
    std::wstring program_, target_, workDir_;
};

TEST_F(ShortcutTest, CreatedAndReadBack) {
    const std::wstring link = folder_ / L"Brantovik ZUNOR 2021.lnk";
    ASSERT_TRUE(zunor::CreateShortcut(link, target_, workDir_));
    ASSERT_TRUE(Exists(link));
    const auto info = zunor::ReadShortcut(link);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->target, target_);
    EXPECT_EQ(info->workingDir, workDir_);
}

TEST_F(ShortcutTest, AnExistingShortcutIsReplaced) {
    const std::wstring link = folder_ / L"ZUNOR.lnk";
    const std::wstring other = folder_ / L"old.exe";
    WriteBytes(other, "MZ");
    ASSERT_TRUE(zunor::CreateShortcut(link, other, folder_.path()));
    ASSERT_TRUE(zunor::CreateShortcut(link, target_, workDir_));
    const auto info = zunor::ReadShortcut(link);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->target, target_);
    EXPECT_EQ(info->workingDir, workDir_);
}

TEST_F(ShortcutTest, TargetNeedNotExistYet) {
    const std::wstring link = folder_ / L"later.lnk";
    const std::wstring missing = program_ + L"\\updater.exe";
    ASSERT_TRUE(zunor::CreateShortcut(link, missing, workDir_));
    const auto info = zunor::ReadShortcut(link);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->target, missing);
}

TEST_F(ShortcutTest, SaveIntoAMissingFolderFails) {
    const std::wstring link = folder_ / L"Desktop\\Brantovik ZUNOR 2021.lnk";
    EXPECT_FALSE(zunor::CreateShortcut(link, target_, workDir_));
    EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(Exists(folder_ / L"Desktop"));
    EXPECT_FALSE(zunor::ReadShortcut(link).has_value());
}

TEST_F(ShortcutTest, WorksOnAThreadInTheMultithreadedApartment) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const std::wstring link = folder_ / L"mta.lnk";
    EXPECT_TRUE(zunor::CreateShortcut(link, target_, workDir_));
    const auto info = zunor::ReadShortcut(link);
    CoUninitialize();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->target, target_);
}

// The e2e scripts read shortcuts through tools/wininfo; its lines must carry the paths exactly.
TEST_F(ShortcutTest, WininfoPrintsTargetAndWorkingDirectory) {
    const std::wstring link = folder_ / L"Brantovik ZUNOR 2021.lnk";
    const std::wstring target = program_ + L"\\Dovr\u0161i.exe";
    ASSERT_TRUE(zunor::CreateShortcut(link, target, workDir_));

    const std::wstring out = folder_ / L"wininfo.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file =
        CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    std::wstring command =
        L"\"" + zunor::testing::ExeFolder() + L"\\..\\tools\\wininfo.exe\" link \"" + link + L"\"";
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(file);
    ASSERT_TRUE(started) << "cannot start wininfo: " << command;
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(code, 0u);
    const std::string expected =
        "target=" + zunor::testing::Utf8(target) + "\nworkdir=" + zunor::testing::Utf8(workDir_) + "\n";
    EXPECT_EQ(zunor::testing::ReadBytes(out), expected);
}

} // namespace
