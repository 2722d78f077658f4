#include "system/uninstall_entry.h"

#include <windows.h>

#include "common/texts.h"
#include "system/unique_handles.h"

namespace zunor {
namespace {

// 32-bit programs see HKLM\Software through the 32-bit view; the flag keeps a 64-bit build there too.
constexpr REGSAM kView = KEY_WOW64_32KEY;

UniqueHkey OpenKey(const wchar_t* subkey, REGSAM access, bool create) {
    HKEY raw = nullptr;
    const LONG rc = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             access | kView, nullptr, &raw, nullptr)
                           : RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, access | kView, &raw);
    return UniqueHkey(rc == ERROR_SUCCESS ? raw : nullptr);
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number) ==
           ERROR_SUCCESS;
}

// The record's seal: its size and its SHA-256 in hexadecimal digits.
constexpr wchar_t kSealSize[] = L"RecordSize";
constexpr wchar_t kSealSha256[] = L"RecordSha256";

// A count that is there and is a REG_DWORD; nullopt when absent or of another type.
std::optional<DWORD> ReadCount(HKEY key, const std::wstring& path) {
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

} // namespace

bool WriteUninstallEntry(const UninstallEntry& entry) {
    const UniqueHkey key = OpenKey(texts::kUninstallKey, KEY_SET_VALUE, true);
    if (!key) {
        return false;
    }
    HKEY k = key.get();
    return SetText(k, L"DisplayName", entry.displayName) && SetText(k, L"Publisher", entry.publisher) &&
           SetText(k, L"DisplayVersion", entry.displayVersion) && SetText(k, L"DisplayIcon", entry.displayIcon) &&
           SetText(k, L"InstallLocation", entry.installLocation) && SetText(k, L"InstallDate", entry.installDate) &&
           SetNumber(k, L"EstimatedSize", entry.estimatedSizeKiB) &&
           SetText(k, L"UninstallString", entry.uninstallString) &&
           SetText(k, L"QuietUninstallString", entry.quietUninstallString) && SetNumber(k, L"NoModify", 1) &&
           SetNumber(k, L"NoRepair", 1);
}

std::optional<std::wstring> ReadUninstallLocation() {
    const UniqueHkey key = OpenKey(texts::kUninstallKey, KEY_QUERY_VALUE, false);
    if (!key) {
        return std::nullopt;
    }
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.get(), L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::wstring();
    }
    std::wstring location(buffer, size / sizeof(wchar_t));
    while (!location.empty() && location.back() == L'\0') {
        location.pop_back();
    }
    return location;
}

bool DeleteUninstallEntry() {
    const LONG rc = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, texts::kUninstallKey, kView, 0);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// A value of another type than the installer writes reads as one that matches no record.
std::optional<RecordSeal> ReadRecordSeal() {
    const UniqueHkey key = OpenKey(texts::kUninstallKey, KEY_QUERY_VALUE, false);
    if (!key) {
        return std::nullopt;
    }
    RecordSeal seal;
    DWORD type = REG_NONE;
    DWORD size = sizeof seal.size;
    const LONG sizeRead =
        RegQueryValueExW(key.get(), kSealSize, nullptr, &type, reinterpret_cast<BYTE*>(&seal.size), &size);
    if (sizeRead == ERROR_SUCCESS && (type != REG_QWORD || size != sizeof seal.size)) {
        seal.size = 0;
    }
    wchar_t digits[80] = {};
    DWORD digitsSize = sizeof digits - sizeof(wchar_t);
    const LONG digitsRead =
        RegQueryValueExW(key.get(), kSealSha256, nullptr, &type, reinterpret_cast<BYTE*>(digits), &digitsSize);
    if (digitsRead == ERROR_SUCCESS && type == REG_SZ) {
        seal.sha256 = digits;
    }
    if (sizeRead == ERROR_FILE_NOT_FOUND && digitsRead == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    return seal;
}

bool WriteRecordSeal(const RecordSeal& seal) {
    const UniqueHkey key = OpenKey(texts::kUninstallKey, KEY_SET_VALUE, false);
    const std::uint64_t size = seal.size;
    return key && SetText(key.get(), kSealSha256, seal.sha256) &&
           RegSetValueExW(key.get(), kSealSize, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&size), sizeof size) ==
               ERROR_SUCCESS;
}

bool AddSharedUse(const std::wstring& path, bool fileWasThere) {
    const UniqueHkey key = OpenKey(texts::kSharedDllsKey, KEY_QUERY_VALUE | KEY_SET_VALUE, true);
    if (!key) {
        return false;
    }
    const DWORD count = ReadCount(key.get(), path).value_or(fileWasThere ? 1 : 0);
    return SetNumber(key.get(), path.c_str(), count + 1);
}

SharedRelease ReleaseSharedUse(const std::wstring& path) {
    const UniqueHkey key = OpenKey(texts::kSharedDllsKey, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    if (!key) {
        return SharedRelease::Missing;
    }
    const std::optional<DWORD> count = ReadCount(key.get(), path);
    if (!count) {
        return SharedRelease::Missing;
    }
    if (*count > 1) {
        return SetNumber(key.get(), path.c_str(), *count - 1) ? SharedRelease::StillUsed : SharedRelease::Failed;
    }
    return RegDeleteValueW(key.get(), path.c_str()) == ERROR_SUCCESS ? SharedRelease::LastUse : SharedRelease::Failed;
}

} // namespace zunor
