#include "system/mregistry.h"

#include <algorithm>
#include <vector>

#include "system/unique_handles.h"

namespace MRegistry {

namespace {
constexpr DWORD kFirstBufferBytes = 1024;
}

Variant ReadRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name,
                          const Variant& def) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return def;
    zunor::UniqueHkey key(raw);

    std::vector<BYTE> buffer(kFirstBufferBytes);
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, buffer.data(), &size);
    if (rc == ERROR_MORE_DATA) {
        buffer.assign(size, 0);
        type = REG_NONE;
        rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, buffer.data(), &size);
    }
    // A value that grew between the two queries fails the second one; never trust its size then.
    if (rc != ERROR_SUCCESS)
        return def;
    return DecodeValue(type, buffer.data(), std::min<std::size_t>(size, buffer.size()), def);
}

bool WriteRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name,
                        const Variant& value) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_WRITE, &raw) != ERROR_SUCCESS)
        return false;
    zunor::UniqueHkey key(raw);

    const auto encoded = EncodeValue(value);
    if (!encoded) {
        key.reset();
        throw UnsupportedValueType();
    }
    return RegSetValueExW(key.get(), name.c_str(), 0, encoded->type, encoded->data.data(),
                          static_cast<DWORD>(encoded->data.size())) == ERROR_SUCCESS;
}

} // namespace MRegistry
