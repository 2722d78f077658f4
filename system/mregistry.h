#pragma once
// MRegistry: one named value under an existing registry key, read with a default or written.
// Neither operation ever creates a key.
#include <windows.h>

#include <string>

#include "system/registry_value.h"

namespace MRegistry {

// The value's data converted by its type; `def` for a missing key or value, a failed query or a type
// that is not read (REG_NONE, REG_QWORD, ...).
Variant ReadRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name,
                          const Variant& def = {});

// Stores integers as REG_DWORD, text as REG_SZ, bytes as REG_BINARY. False when the key cannot be
// opened for writing or the write is refused. Throws UnsupportedValueType for any other kind.
bool WriteRegistryValue(HKEY root, const std::wstring& subkey, const std::wstring& name,
                        const Variant& value);

} // namespace MRegistry
