#include "ui/detail/overview/bindings_layout.h"

#include "base/product_name.h"

#include <QSettings>

namespace {

const QString layoutKey = QStringLiteral("bindingsLayout");

QSettings preferences()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, Product::name,
                     QStringLiteral("preferences"));
}

} // namespace

QString rawValue(BindingsLayout layout)
{
    return layout == BindingsLayout::list ? QStringLiteral("list") : QStringLiteral("diagram");
}

std::optional<BindingsLayout> bindingsLayoutFromRaw(const QString& raw)
{
    for (BindingsLayout layout : {BindingsLayout::diagram, BindingsLayout::list})
        if (rawValue(layout) == raw)
            return layout;
    return std::nullopt;
}

namespace BindingsLayoutStore {

BindingsLayout load()
{
    return bindingsLayoutFromRaw(preferences().value(layoutKey).toString())
        .value_or(BindingsLayout::diagram);
}

void save(BindingsLayout layout)
{
    preferences().setValue(layoutKey, rawValue(layout));
}

} // namespace BindingsLayoutStore
