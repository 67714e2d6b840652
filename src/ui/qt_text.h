#pragma once
// The conversion between the core's byte texts and the widgets' texts. The
// core holds UTF-8; a byte text that is not valid UTF-8 (a value written by
// hand in Latin-1) shows as Latin-1, one character per byte, so that no byte
// turns into U+FFFD and the next save writes the same text back in UTF-8.

#include <QString>

#include <string>
#include <string_view>

namespace corvasse {

QString FromBytes(std::string_view text);
std::string ToBytes(const QString& text);

}  // namespace corvasse
