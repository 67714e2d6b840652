#include "ui/web_links.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace corvasse {

void OpenProductWebPage() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kProductWebPageUrl))); }

void OpenAuthorMail() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kAuthorMailAddress)));
}

}  // namespace corvasse
