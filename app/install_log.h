#pragma once
// The install log (/LOG=): UTF-8 text, appended to, one line per step with the local time.
#include <string>

#include "system/unique_handles.h"
#include "common/run_ports.h"

namespace zunor {

class FileRunLog final : public RunLog {
public:
    // Opens (creating or appending to) the file; ok() tells whether it could.
    explicit FileRunLog(const std::wstring& path);
    bool ok() const { return file_ != nullptr; }
    void Write(std::wstring_view step, std::wstring_view detail) override;

private:
    UniqueHandle file_;
};

// Writes to several logs at once (the file and, in unattended mode, the console).
class TeeRunLog final : public RunLog {
public:
    TeeRunLog(RunLog& first, RunLog& second) : first_(first), second_(second) {}
    void Write(std::wstring_view step, std::wstring_view detail) override {
        first_.Write(step, detail);
        second_.Write(step, detail);
    }

private:
    RunLog& first_;
    RunLog& second_;
};

std::string ToUtf8(std::wstring_view text);

}  // namespace zunor
