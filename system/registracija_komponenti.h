#pragma once
// RegistracijaKomponenti: a COM server file registers (or unregisters) itself through its own entry
// point, run on a worker thread that is given a limited time.
#include <chrono>
#include <string>

namespace RegistracijaKomponenti {

inline constexpr std::chrono::milliseconds kRegistrationLimit{10000};

// True when the file is an ordinary file (not a folder, not hidden or system), loads as a library,
// exports DllRegisterServer (DllUnregisterServer when `unregister`), and that entry point returned a
// success HRESULT within `limit`. A worker still running at the limit is ended and its library left
// loaded, since the code it was running may still be referenced.
bool RegisterComponent(const std::wstring& path, bool unregister, std::chrono::milliseconds limit);
bool RegisterComponent(const std::wstring& path, bool unregister);

} // namespace RegistracijaKomponenti
