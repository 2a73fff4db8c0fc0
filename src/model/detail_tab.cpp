#include "model/detail_tab.h"

const QList<DetailTabInfo>& detailTabTable()
{
    static const QList<DetailTabInfo> table = {
        {DetailTab::overview, QStringLiteral("overview"), QStringLiteral("Overview"),
         QStringLiteral("layout-dashboard")},
        {DetailTab::logs, QStringLiteral("logs"), QStringLiteral("Logs"),
         QStringLiteral("scroll-text")},
        {DetailTab::explorer, QStringLiteral("explorer"), QStringLiteral("Explorer"),
         QStringLiteral("compass")},
        {DetailTab::settings, QStringLiteral("settings"), QStringLiteral("Settings"),
         QStringLiteral("sliders-horizontal")},
    };
    return table;
}

const QList<DetailTab>& allDetailTabs()
{
    static const QList<DetailTab> tabs = [] {
        QList<DetailTab> result;
        for (const DetailTabInfo& info : detailTabTable())
            result.append(info.tab);
        return result;
    }();
    return tabs;
}

namespace {

const DetailTabInfo& infoFor(DetailTab tab)
{
    for (const DetailTabInfo& info : detailTabTable())
        if (info.tab == tab)
            return info;
    return detailTabTable().first(); // unreachable: the table holds every tab
}

} // namespace

QString rawValue(DetailTab tab)
{
    return infoFor(tab).raw;
}

std::optional<DetailTab> detailTabFromRaw(const QString& raw)
{
    for (const DetailTabInfo& info : detailTabTable())
        if (info.raw == raw)
            return info.tab;
    return std::nullopt;
}

QString tabTitle(DetailTab tab)
{
    return infoFor(tab).title;
}

QString tabIcon(DetailTab tab)
{
    return infoFor(tab).icon;
}
