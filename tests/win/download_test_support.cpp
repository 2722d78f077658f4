#include "tests/win/download_test_support.h"

#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "system/unique_handles.h"

namespace zunor::test {

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

// Wine maps the Unix root to drive Z:.
std::wstring WindowsPath(const std::wstring& unixPath) {
    if (unixPath.empty())
        return unixPath;
    std::wstring path = L"Z:" + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring Origin(const wchar_t* portVariable) {
    std::wstring port = Environment(portVariable);
    return port.empty() ? port : L"https://localhost:" + port;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring full = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

std::atomic<int> g_counter{0};

} // namespace

const TestServers& Servers() {
    static const TestServers servers{WindowsPath(Environment(L"ZUNOR_BUILD")),
                                     Origin(L"ZUNOR_TEST_HTTPS_PORT"), Origin(L"ZUNOR_TEST_FAULT_PORT"),
                                     Origin(L"ZUNOR_TEST_UNTRUSTED_PORT")};
    return servers;
}

std::wstring ServedFile(const std::wstring& relative) {
    return Servers().build + L"\\server\\htdocs\\zunor\\" + relative;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"zunor-dl-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++g_counter);
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path_);
}

std::wstring UniqueTag() {
    return L"t" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) + L"-" +
           std::to_wstring(++g_counter);
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

::testing::AssertionResult FileHolds(const std::wstring& path, const std::optional<std::string>& expected) {
    if (!expected)
        return ::testing::AssertionFailure() << "nothing to compare with";
    auto actual = ReadBytes(path);
    if (!actual)
        return ::testing::AssertionFailure() << "file cannot be read";
    if (*actual == *expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual->size() && at < expected->size() && (*actual)[at] == (*expected)[at])
        ++at;
    return ::testing::AssertionFailure() << "file holds " << actual->size() << " bytes, expected "
                                         << expected->size() << "; first difference at offset " << at;
}

std::vector<std::wstring> ListNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

std::vector<std::string> FaultRequestLog(const std::wstring& path) {
    std::vector<std::string> lines;
    UniqueHinternet session(InternetOpenW(L"ZunorTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session)
        return lines;
    std::wstring url = Servers().fault + L"/_log?path=" + path;
    UniqueHinternet request(InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        return lines;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (InternetReadFile(request.get(), buffer, sizeof buffer, &read) && read > 0)
        text.append(buffer, read);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

int FaultRequestCount(const std::wstring& path) {
    UniqueHinternet session(InternetOpenW(L"ZunorTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session)
        return -1;
    std::wstring url = Servers().fault + L"/_count?path=" + path;
    UniqueHinternet request(InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request)
        return -1;
    char buffer[64] = {};
    DWORD read = 0;
    if (!InternetReadFile(request.get(), buffer, sizeof buffer - 1, &read) || read == 0)
        return -1;
    return std::atoi(buffer);
}

ShortTimeouts::ShortTimeouts(unsigned long connectMs, unsigned long receiveMs)
    : saved_(modSetup::CurrentTimeouts()) {
    // The pauses before a resumption shrink with the limits, so a broken body is retried quickly.
    modSetup::SetTimeoutsForTesting({connectMs, receiveMs, {100, 300}});
}

ShortTimeouts::~ShortTimeouts() {
    modSetup::SetTimeoutsForTesting(saved_);
}

} // namespace zunor::test
