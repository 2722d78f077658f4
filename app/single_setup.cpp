#include "app/single_setup.h"

#include <windows.h>

namespace zunor {
namespace {
constexpr wchar_t kGlobalName[] = L"Global\\Brantovik.Zunor2021.Setup";
constexpr wchar_t kSessionName[] = L"Brantovik.Zunor2021.Setup";
} // namespace

SingleSetup::SingleSetup() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kGlobalName);
    // Without the right to make global objects, the user's session is the widest guard there is.
    if (!mutex) mutex = CreateMutexW(nullptr, FALSE, kSessionName);
    first_ = !mutex || GetLastError() != ERROR_ALREADY_EXISTS;
    mutex_.reset(mutex);
}

} // namespace zunor
