#include "ui/app_icon.h"

#include <QIcon>

// The resources live in a static library, whose registration the linker
// would drop unless something refers to it.
static void InitResources() { Q_INIT_RESOURCE(corvasse); }

namespace corvasse {

QIcon AppIcon() {
    static const bool initialised = (InitResources(), true);
    (void)initialised;
    return QIcon(QStringLiteral(":/icons/corvasse.png"));
}

}  // namespace corvasse
