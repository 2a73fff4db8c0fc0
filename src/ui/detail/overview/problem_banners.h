#pragma once

#include "presentation/binding_items.h"
#include "presentation/overview_details.h"
#include "runs/port_conflict.h"
#include "ui/theme/theme_binder.h"

#include <QWidget>

#include <optional>

class QVBoxLayout;
struct UiContext;

// What is wrong with a project, in the order the Overview shows it.
struct OverviewProblems
{
    std::optional<QString> parseError;
    std::optional<InstallHint> install;
    QString terminalTitle; // "Open in " + the terminal that would be used
    std::optional<QString> errorMessage;
    std::optional<PortConflict> portConflict;
    // While the project runs: the Workers its bindings need that are not running.
    QList<DisconnectedService> disconnected;

    friend bool operator==(const OverviewProblems&, const OverviewProblems&) = default;
};

// The problem lines and banners above the details card: the configuration's parse error, the
// dependencies banner, the run state's error, the port conflict banner and a line per Worker
// that the project's bindings cannot reach.
class ProblemBanners : public QWidget
{
    Q_OBJECT

public:
    ProblemBanners(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    // Rebuilds only on a change.
    void setProblems(const OverviewProblems& problems);

private:
    void rebuild();
    QWidget* line(const QString& objectName, const QString& iconName,
                  ThemeBinder::PaletteColor color, const QString& text);
    QWidget* dependenciesBanner(const InstallHint& hint);
    QWidget* portConflictBanner(const PortConflict& conflict);
    QWidget* disconnectedLine(const DisconnectedService& service);

    UiContext& ui_;
    QString projectID_;
    OverviewProblems problems_;
    bool built_ = false;
    QVBoxLayout* layout_;
};
