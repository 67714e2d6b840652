#pragma once
// Texts beyond ASCII. The desktop hands Corvasse UTF-8, but a value edited by
// hand may be in Latin-1; these helpers tell the two apart so that neither is
// lost on its way through the window.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvasse {

// True when no byte is above 127.
bool IsAscii(std::string_view text);

// The byte length (1 to 4) of the well-formed UTF-8 character that starts
// the text; 0 when none does (an empty text, a byte that cannot lead, a
// sequence that is malformed or cut short).
size_t Utf8CharacterLength(std::string_view text);

// True when the bytes are well-formed UTF-8 (RFC 3629): no overlong forms, no
// surrogates, nothing above U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view text);

// The text in UTF-8: valid UTF-8 as it is; anything else is read as Latin-1,
// each byte one character, so that every byte survives as a character.
std::string Utf8OrLatin1(std::string_view text);

}  // namespace corvasse
