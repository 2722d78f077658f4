// RegisterComponent with stand-in COM servers (tests/win/components), each copied into a scratch
// folder so a library left loaded by one case cannot disturb another.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "system/registracija_komponenti.h"
#include "system_test_support.h"

namespace {

using RegistracijaKomponenti::RegisterComponent;
using namespace std::chrono_literals;
using zunor::testing::Exists;
using zunor::testing::ReadBytes;
using zunor::testing::TempFolder;

class ComponentTest : public ::testing::Test {
protected:
    // Copies a built component into the scratch folder under `name`.
    std::wstring Place(const std::wstring& component, const std::wstring& name) {
        const std::wstring from = zunor::testing::ExeFolder() + L"\\components\\" + component;
        const std::wstring to = folder_ / name;
        EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << "missing test component: " << from;
        return to;
    }
    // What the component recorded: "<entry> <thread id>", empty when no entry point ran.
    static std::string Ran(const std::wstring& dll) { return ReadBytes(dll + L".ran"); }
    static std::string EntryThatRan(const std::wstring& dll) {
        const std::string record = Ran(dll);
        return record.substr(0, record.find(' '));
    }
    static bool Loaded(const std::wstring& dll) { return GetModuleHandleW(dll.c_str()) != nullptr; }

    TempFolder folder_;
};

TEST_F(ComponentTest, RegisterRunsDllRegisterServerOnAWorkerAndUnloads) {
    const auto dll = Place(L"recorder.dll", L"recorder.dll");
    EXPECT_TRUE(RegisterComponent(dll, false));
    EXPECT_EQ(EntryThatRan(dll), "register");
    const std::string record = Ran(dll);
    const unsigned long worker = std::stoul(record.substr(record.find(' ') + 1));
    EXPECT_NE(worker, GetCurrentThreadId());
    EXPECT_FALSE(Loaded(dll));
}

TEST_F(ComponentTest, UnregisterRunsDllUnregisterServer) {
    const auto dll = Place(L"recorder.dll", L"recorder.dll");
    // This entry point answers S_FALSE: a success code other than S_OK still counts.
    EXPECT_TRUE(RegisterComponent(dll, true));
    EXPECT_EQ(EntryThatRan(dll), "unregister");
    EXPECT_FALSE(Loaded(dll));
}

TEST_F(ComponentTest, FailureHresultGivesFalse) {
    const auto dll = Place(L"failing.dll", L"failing.dll");
    EXPECT_FALSE(RegisterComponent(dll, false));
    EXPECT_EQ(EntryThatRan(dll), "register");
    EXPECT_FALSE(RegisterComponent(dll, true));
    EXPECT_EQ(EntryThatRan(dll), "unregister");
    EXPECT_FALSE(Loaded(dll));
}

TEST_F(ComponentTest, MissingEntryPointGivesFalseAndUnloads) {
    const auto dll = Place(L"noentry.dll", L"noentry.dll");
    EXPECT_FALSE(RegisterComponent(dll, false));
    EXPECT_FALSE(RegisterComponent(dll, true));
    EXPECT_FALSE(Loaded(dll));
}

TEST_F(ComponentTest, FileThatIsNoLibraryGivesFalse) {
    const auto dll = Place(L"notalib.dll", L"notalib.dll");
    ASSERT_TRUE(Exists(dll));
    EXPECT_FALSE(RegisterComponent(dll, false));
    EXPECT_FALSE(Loaded(dll));
}

TEST_F(ComponentTest, HangingEntryPointIsEndedAtTheLimit) {
    const auto dll = Place(L"hanging.dll", L"hanging.dll");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RegisterComponent(dll, false, 1500ms));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 1400ms);
    EXPECT_LT(took, 8000ms);
    EXPECT_EQ(EntryThatRan(dll), "register"); // it did start, and was given the whole limit
    // Left loaded: the ended worker's code stays mapped.
    EXPECT_TRUE(Loaded(dll));
    // The worker is gone by now, so the test may unload it and leave no folder behind.
    if (HMODULE left = GetModuleHandleW(dll.c_str()))
        FreeLibrary(left);
}

TEST_F(ComponentTest, OnlyOrdinaryFilesAreLoaded) {
    // A folder named like a library.
    const std::wstring folderDll = folder_ / L"folder.dll";
    ASSERT_TRUE(CreateDirectoryW(folderDll.c_str(), nullptr));
    EXPECT_FALSE(RegisterComponent(folderDll, false));

    // Hidden and system files are passed over although they would load and register.
    for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        SCOPED_TRACE(testing::Message() << "attribute " << attribute);
        const auto dll = Place(L"recorder.dll", L"marked" + std::to_wstring(attribute) + L".dll");
        ASSERT_TRUE(SetFileAttributesW(dll.c_str(), attribute));
        ASSERT_NE(GetFileAttributesW(dll.c_str()) & attribute, 0u) << "attribute not kept by the file system";
        EXPECT_FALSE(RegisterComponent(dll, false));
        EXPECT_FALSE(Loaded(dll));
        EXPECT_TRUE(Ran(dll).empty());
    }

    EXPECT_FALSE(RegisterComponent(folder_ / L"absent.dll", false));
    EXPECT_FALSE(RegisterComponent(L"", false));

    // A pattern matches a real component, but names no single file.
    const auto dll = Place(L"recorder.dll", L"recorder.dll");
    EXPECT_FALSE(RegisterComponent(folder_ / L"rec*.dll", false));
    EXPECT_FALSE(RegisterComponent(folder_ / L"recorder.dl?", false));
    EXPECT_TRUE(Ran(dll).empty());
}

} // namespace
