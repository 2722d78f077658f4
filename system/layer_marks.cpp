#include "system/layer_marks.h"

#include "system/mregistry.h"
#include "system/unique_handles.h"
#include "common/texts.h"

namespace MRegistry {

zunor::LayerWrite WriteTextValueUnder(HKEY root, const std::wstring& subkey, const std::wstring& valueName,
                                      const std::wstring& data) {
    HKEY raw = nullptr;
    const LONG opened = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_WRITE, &raw);
    if (opened == ERROR_FILE_NOT_FOUND)
        return zunor::LayerWrite::KeyAbsent;
    if (opened != ERROR_SUCCESS)
        return zunor::LayerWrite::Failed;
    zunor::UniqueHkey key(raw);
    const auto encoded = EncodeValue(data);
    const LONG set = RegSetValueExW(key.get(), valueName.c_str(), 0, encoded->type, encoded->data.data(),
                                    static_cast<DWORD>(encoded->data.size()));
    return set == ERROR_SUCCESS ? zunor::LayerWrite::Written : zunor::LayerWrite::Failed;
}

zunor::LayerWrite WriteLayerValue(const std::wstring& valueName, const std::wstring& data) {
    return WriteTextValueUnder(HKEY_CURRENT_USER, zunor::texts::kLayersKey, valueName, data);
}

bool DeleteLayerValue(const std::wstring& valueName) {
    HKEY raw = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, zunor::texts::kLayersKey, 0, KEY_SET_VALUE, &raw);
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;
    zunor::UniqueHkey key(raw);
    const LONG deleted = RegDeleteValueW(key.get(), valueName.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

std::wstring ReadLayerValue(const std::wstring& valueName, const std::wstring& fallback) {
    const Variant value = ReadRegistryValue(HKEY_CURRENT_USER, zunor::texts::kLayersKey, valueName, fallback);
    if (const auto* text = std::get_if<std::wstring>(&value))
        return *text;
    return fallback;
}

} // namespace MRegistry
