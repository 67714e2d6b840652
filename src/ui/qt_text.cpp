#include "ui/qt_text.h"

#include "common/utf8_text.h"

namespace corvasse {

QString FromBytes(std::string_view text) {
    const std::string utf8 = Utf8OrLatin1(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToBytes(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace corvasse
