#pragma once

#include "discovery/project_info.h"

#include <QList>
#include <QString>

#include <optional>

// A small badge shown for a project: its text, the brand image asset, and the line icon drawn
// when that image is missing.
struct KindBadge
{
    QString name;
    QString brand;
    QString fallback;

    friend bool operator==(const KindBadge&, const KindBadge&) = default;
};

// The badge of a known framework, or none for a name not in the table.
std::optional<KindBadge> frameworkBadge(const QString& framework);
KindBadge contentSystemBadge();
KindBadge pagesBadge();
KindBadge workerBadge();

// Content system, framework and Pages badges, in that order; empty without a record.
QList<KindBadge> kindBadges(const ProjectInfo* info);
// The first badge, or the plain worker badge.
KindBadge primaryBadge(const ProjectInfo* info);
