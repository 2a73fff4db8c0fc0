#include "ui/about/product.h"

#ifndef TALLOWMERE_VERSION
#define TALLOWMERE_VERSION "0.0.0"
#endif
#ifndef TALLOWMERE_BUILD_NUMBER
#define TALLOWMERE_BUILD_NUMBER "0"
#endif

namespace Product {

QString versionText()
{
    return QStringLiteral(TALLOWMERE_VERSION " (" TALLOWMERE_BUILD_NUMBER ")");
}

QUrl website()
{
    return QUrl(QStringLiteral("https://tallowmere.dev"));
}

QUrl supportAddress()
{
    return QUrl();
}

QString licenceLine()
{
    return QStringLiteral("Released under the MIT License. © 2026 The ") + name +
           QStringLiteral(" authors.");
}

} // namespace Product
