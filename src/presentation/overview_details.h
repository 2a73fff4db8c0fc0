#pragma once

#include "base/project.h"
#include "discovery/kind_badge.h"
#include "discovery/project_info.h"

#include <QList>
#include <QString>

#include <optional>

// One row of the Overview's details card.
struct DetailRow
{
    QString label;
    QString value;
    bool mono = false; // shown in the monospaced font
    // For the row that names what the project is built with: the badges the value names, whose
    // logo (or line icon) is drawn before it.
    QList<KindBadge> badges;

    friend bool operator==(const DetailRow&, const DetailRow&) = default;
};

// The path with the home folder written as "~" ("/home/ann/x" -> "~/x").
QString homeAbbreviated(const QString& path, const QString& home);

// Who started the running server: this application, a terminal (found in the process table),
// or another instance that a start found already running and attached to.
enum class ServerOrigin { here, outside, attached };

// The details card of a project, in display order, each row only when its value is known; the
// entry and compatibility date are those of the environment the project runs with.
// `info` is null before the first inspection.
QList<DetailRow> detailRows(const Project& project, const ProjectInfo* info, ServerOrigin origin,
                            const QString& home);

// What the dependencies banner tells the user to run, and where.
struct InstallHint
{
    QString command; // "pnpm install"
    QString folder;  // home-abbreviated

    friend bool operator==(const InstallHint&, const InstallHint&) = default;
};

// The hint when the project has been inspected and what its run mode needs is missing.
std::optional<InstallHint> installHint(const Project& project, const ProjectInfo* info,
                                       const QString& home);
