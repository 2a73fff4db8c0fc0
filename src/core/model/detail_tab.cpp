#include "core/model/detail_tab.h"

QString rawValue(DetailTab tab)
{
    switch (tab) {
    case DetailTab::overview: return QStringLiteral("overview");
    case DetailTab::logs: return QStringLiteral("logs");
    case DetailTab::explorer: return QStringLiteral("explorer");
    case DetailTab::settings: return QStringLiteral("settings");
    }
    return {};
}

std::optional<DetailTab> detailTabFromRaw(const QString& raw)
{
    for (DetailTab tab :
         {DetailTab::overview, DetailTab::logs, DetailTab::explorer, DetailTab::settings})
        if (rawValue(tab) == raw)
            return tab;
    return std::nullopt;
}
