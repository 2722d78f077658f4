#pragma once
// The value that MRegistry exchanges with its callers, and its conversion to and from the registry's
// raw form. Portable, so the conversions are tested natively; the Win32 part only moves the bytes.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace MRegistry {

// Empty, 16- and 32-bit integers, text, bytes; bool and double stand for the kinds the registry write
// refuses.
using Variant = std::variant<std::monostate, std::int16_t, std::int32_t, std::wstring,
                             std::vector<std::uint8_t>, bool, double>;

// Registry value types (the numbers of <winnt.h>).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Raised by WriteRegistryValue for a value of a kind it cannot store.
class UnsupportedValueType : public std::exception {
public:
    static constexpr int kNumber = 1001;
    int number() const noexcept { return kNumber; }
    std::wstring description() const;
    const char* what() const noexcept override { return "Unsupported value type"; }
};

struct EncodedValue {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
};

// Registry form of a value to write: integers as a 4-byte DWORD, text as REG_SZ (UTF-16LE with its
// terminating zero), bytes as REG_BINARY. No value for the kinds that cannot be written.
std::optional<EncodedValue> EncodeValue(const Variant& value);

// The value that raw registry data of `type` reads as: text without its terminating zero (REG_SZ,
// REG_EXPAND_SZ unexpanded), REG_MULTI_SZ with its inner zeros kept and the closing two dropped, a
// DWORD as a signed 32-bit integer, REG_BINARY as bytes; `fallback` for every other type and for a
// DWORD shorter than four bytes.
Variant DecodeValue(std::uint32_t type, const std::uint8_t* data, std::size_t size, const Variant& fallback);

} // namespace MRegistry
