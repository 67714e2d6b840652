#pragma once
// Helpers for the single-byte texts that settings, the log and every wire
// protocol carry unchanged. Lengths and searches count bytes.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvasse {

// Raised when a text is not a whole number: "'%s' is not a valid integer value".
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(std::string_view text);
};

// Removes every leading and trailing byte whose code is 32 or less.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Converts a 32-bit signed integer written with optional leading blanks, an
// optional sign, and decimal digits or hexadecimal digits after "$", "x", "X"
// or "0x". Nothing may follow the digits. Throws ConversionError otherwise.
int32_t StrToInt(std::string_view text);

// The same conversion, giving nothing instead of throwing.
std::optional<int32_t> TryStrToInt(std::string_view text);

// The same syntax for a 64-bit signed value.
std::optional<int64_t> TryStrToInt64(std::string_view text);

// The value of a hexadecimal digit in either case, or -1 for any other byte.
int HexValue(char c);

// True when the text is one or more decimal digits and nothing else.
bool IsDecimalDigits(std::string_view text);

// Exact, case-sensitive byte search; an empty needle is never found.
bool ContainsBytes(std::string_view haystack, std::string_view needle);

// ASCII-only case folding and comparison (names of settings and headers).
std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Appends the prefix and the byte as two upper-case hexadecimal digits: the
// escapes of quoted-printable ("=E9"), of URLs ("%20") and of encoded words.
void AppendHexEscape(std::string& out, std::string_view prefix, unsigned char byte);

}  // namespace corvasse
