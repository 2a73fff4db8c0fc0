#pragma once

#include <QList>
#include <QString>

#include <optional>

// The tab shown for the selected project.
enum class DetailTab { overview, logs, explorer, settings };

// What names a tab: its stored raw value, its title and its Lucide icon.
struct DetailTabInfo
{
    DetailTab tab;
    QString raw;
    QString title;
    QString icon;
};

// Every tab in tab order: the one table the raw values, titles and icons come from.
const QList<DetailTabInfo>& detailTabTable();
// The tabs in tab order.
const QList<DetailTab>& allDetailTabs();

QString rawValue(DetailTab tab);
std::optional<DetailTab> detailTabFromRaw(const QString& raw);
QString tabTitle(DetailTab tab);
QString tabIcon(DetailTab tab);
