#pragma once

#include "base/project.h"

#include <QList>
#include <QString>

#include <functional>

// One titled group of the sidebar list.
struct SidebarSection
{
    enum class Kind { favorites, running, rest };

    Kind kind = Kind::rest;
    QString title;
    QList<Project> projects;
};

// Groups the sidebar's projects. `ordered` is the model's visible list in sidebar order;
// `displayName` and `isActive` (status starting or running) come from the model. The query is
// trimmed; a non-empty one keeps projects whose display name contains it, ignoring case.
// Only non-empty sections are returned: favourites, running, then the rest, which is titled
// "Projects" when it is the only kind shown and "Stopped" otherwise.
QList<SidebarSection> sidebarSections(const QList<Project>& ordered, const QString& query,
                                      const std::function<QString(const Project&)>& displayName,
                                      const std::function<bool(const Project&)>& isActive);

// The projects of the sections in displayed order (keyboard navigation walks this list).
QList<Project> displayedOrder(const QList<SidebarSection>& sections);

// The path to select after Up (step -1) or Down (step +1): the first project when nothing is
// selected (or the selection is not displayed); the ends keep the selection.
std::optional<QString> neighbourSelection(const QList<Project>& order,
                                          const std::optional<QString>& selection, int step);
