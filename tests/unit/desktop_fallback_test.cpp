// The desktop path built from the logon name buffer, as GetUserName leaves it.
#include <gtest/gtest.h>

#include "system/desktop_fallback.h"

namespace {

using zunor::DesktopPathFromUserBuffer;

// A 100-space buffer with the name and its NUL written at the start, as after a successful call.
std::wstring Buffer(const std::wstring& name) {
    std::wstring buffer(zunor::kUserNameBufferChars, L' ');
    buffer.replace(0, name.size() + 1, name + L'\0');
    return buffer;
}

TEST(DesktopFallback, NameGoesBetweenTheFixedRootAndDesktop) {
    EXPECT_EQ(DesktopPathFromUserBuffer(Buffer(L"korisnik")),
              L"C:\\Documents and Settings\\korisnik\\Desktop");
    EXPECT_EQ(DesktopPathFromUserBuffer(Buffer(L"glavni korisnik")),
              L"C:\\Documents and Settings\\glavni korisnik\\Desktop");
}

TEST(DesktopFallback, LeadingSpacesAreLostTrailingOnesKeptByTheNul) {
    EXPECT_EQ(DesktopPathFromUserBuffer(Buffer(L"  korisnik")),
              L"C:\\Documents and Settings\\korisnik\\Desktop");
    // The NUL after the name stops the trim, and is then dropped itself.
    EXPECT_EQ(DesktopPathFromUserBuffer(Buffer(L"korisnik  ")),
              L"C:\\Documents and Settings\\korisnik  \\Desktop");
}

TEST(DesktopFallback, FailedCallGivesAnEmptyName) {
    EXPECT_EQ(DesktopPathFromUserBuffer(std::wstring(zunor::kUserNameBufferChars, L' ')),
              L"C:\\Documents and Settings\\\\Desktop");
    EXPECT_EQ(DesktopPathFromUserBuffer(L""), L"C:\\Documents and Settings\\\\Desktop");
}

TEST(DesktopFallback, NameFillingTheWholeBuffer) {
    const std::wstring name(zunor::kUserNameBufferChars - 1, L'k');
    EXPECT_EQ(DesktopPathFromUserBuffer(Buffer(name)), L"C:\\Documents and Settings\\" + name + L"\\Desktop");
}

} // namespace
