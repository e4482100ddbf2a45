#include "app/AppIcon.h"

static void InitEntorraResources() {
    Q_INIT_RESOURCE(entorra);
}

namespace entorra {

QIcon AppIcon() {
    // The resources live in a static library: register them before the first use.
    static const bool registered = [] {
        InitEntorraResources();
        return true;
    }();
    (void)registered;
    QIcon icon;
    icon.addFile(QStringLiteral(":/entorra/entorra-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/entorra/entorra.svg"));
    return icon;
}

}  // namespace entorra
