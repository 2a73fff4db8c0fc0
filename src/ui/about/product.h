#pragma once

#include "base/product_name.h"

#include <QString>
#include <QUrl>

// Fixed facts about the product that texts are composed from.
namespace Product {

// "0.1.0 (1)": the short version and the build number in parentheses.
QString versionText();

QUrl website();
// Unset by default; the about window then shows no support button.
QUrl supportAddress();

QString licenceLine();

} // namespace Product
