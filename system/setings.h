#pragma once
// Setings: the product's settings file (config.ini), written one key at a time.
#include <string>

namespace Setings {

// Full path of the settings file; the run sets it before writing.
extern std::wstring IniFilePath;

// Stores key=value under [section] of IniFilePath, creating the file (as ANSI text) and the section
// when missing and replacing the key's old value. False when the file cannot be written, e.g. its
// folder does not exist; no file is left behind then.
bool WriteSetting(const std::wstring& section, const std::wstring& key, const std::wstring& value);

// True when the system's ANSI code page, the file's own, holds text exactly: what the file would keep
// reads back as text, with no character replaced by a look-alike or a question mark.
bool AnsiHolds(const std::wstring& text);

} // namespace Setings
