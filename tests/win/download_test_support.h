#pragma once
// What the download tests share: where the servers are, scratch folders, and file helpers.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "download/timeouts.h"

namespace zunor::test {

// The servers and build tree named by the test's environment; empty strings when unset.
struct TestServers {
    std::wstring build;     // Windows form of the build tree (Z:\...)
    std::wstring apache;    // https://localhost:<port>
    std::wstring fault;     // https://localhost:<port>
    std::wstring untrusted; // https://localhost:<port>, certificate from a CA nobody trusts
    bool complete() const {
        return !build.empty() && !apache.empty() && !fault.empty() && !untrusted.empty();
    }
};
const TestServers& Servers();

// The sample tree that Apache serves, in Windows form.
std::wstring ServedFile(const std::wstring& relative);

// A fresh folder under %TEMP%, removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; } // no trailing backslash
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A unique tag for fault-server paths, so that each test counts only its own requests.
std::wstring UniqueTag();

std::optional<std::string> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// Compares a file's content with what it should hold; on a difference tells the sizes and the first
// differing offset instead of dumping binary bytes.
::testing::AssertionResult FileHolds(const std::wstring& path, const std::optional<std::string>& expected);
std::vector<std::wstring> ListNames(const std::wstring& folder); // sorted, without "." and ".."
bool IsFolder(const std::wstring& path);

// The fault server's body bytes: byte i is i % 251.
std::string Pattern(std::size_t size);

// Requests the fault server has seen for path, asked over a session of the test's own; -1 on failure.
int FaultRequestCount(const std::wstring& path);

// The fault server's record of each request for path: "<status> <Range or -> <body bytes sent>".
std::vector<std::string> FaultRequestLog(const std::wstring& path);

// Shortens modSetup's time limits for one test and puts the real ones back afterwards.
class ShortTimeouts {
public:
    ShortTimeouts(unsigned long connectMs, unsigned long receiveMs);
    ~ShortTimeouts();
    ShortTimeouts(const ShortTimeouts&) = delete;
    ShortTimeouts& operator=(const ShortTimeouts&) = delete;

private:
    modSetup::Timeouts saved_;
};

} // namespace zunor::test
