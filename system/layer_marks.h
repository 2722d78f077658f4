#pragma once
// The compatibility-layer marks under HKCU's Layers key, as the run writes and reads them.
#include <windows.h>

#include <string>

#include "common/run_ports.h"

namespace MRegistry {

// Stores `data` as the REG_SZ value `valueName` of the Layers key. KeyAbsent when the user has no
// Layers key (it is never created), Failed for any other refusal.
zunor::LayerWrite WriteLayerValue(const std::wstring& valueName, const std::wstring& data);

// Removes the value; true also when the key or the value was not there.
bool DeleteLayerValue(const std::wstring& valueName);
// The text of that value; `fallback` when the key or value is absent or the value is not text.
std::wstring ReadLayerValue(const std::wstring& valueName, const std::wstring& fallback);

// WriteLayerValue for any key; the tests use a key of their own.
zunor::LayerWrite WriteTextValueUnder(HKEY root, const std::wstring& subkey, const std::wstring& valueName,
                                      const std::wstring& data);

} // namespace MRegistry
