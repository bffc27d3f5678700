#include "resource_ids.h"

// Q_INIT_RESOURCE must be used outside any namespace; it refers to the symbol that rcc
// generates, so linking this file also links the resource data.
static void RegisterResources() {
    Q_INIT_RESOURCE(tessarel_resources);
}

QString ResourcePath(unsigned id) {
    static const bool registered = (RegisterResources(), true);
    (void)registered;

    switch (id) {
        case resource_ids::kAppIcon:
            return QStringLiteral(":/res/app_icon.ico");
        case resource_ids::kSkinBitmap:
            return QStringLiteral(":/res/skin.bmp");
        default:
            return {};
    }
}
