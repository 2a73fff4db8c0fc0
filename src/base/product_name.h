#pragma once

#include <QString>

namespace Product {

// The one spelling of the product's name: window titles, texts and the support folder use it.
inline const QString name = QStringLiteral("Tallowmere");

} // namespace Product
