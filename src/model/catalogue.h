#pragma once

#include "base/project.h"
#include "discovery/project_info.h"
#include "discovery/root_watcher.h"
#include "model/model_context.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct RootScanResult;

// The projects the application knows: the roots, the registered projects, what inspection has
// learned about them, the scans that find them and the watcher that follows the roots. Owned by
// the model and acted on only through it; it knows nothing of servers beyond the question it is
// given, whether one runs for a project (such a project is never dropped by a scan). Lives on
// the main thread. Observable fields notify through `<field>Changed`, only on a real change.
class Catalogue : public QObject
{
    Q_OBJECT

public:
    using ServerQuestion = std::function<bool(const QString& path)>;
    Catalogue(const AppModelContext& context, ServerQuestion serverRuns, QObject* parent = nullptr);
    ~Catalogue() override;

    const QStringList& roots() const { return roots_; }
    const QList<Project>& projects() const { return projects_; }
    const ProjectInfoMap& infos() const { return infos_; }
    const ProjectInfo* infoFor(const QString& path) const;
    bool isScanning() const { return isScanning_; }
    RootWatcher* watcher() const { return watcher_.get(); }
    std::optional<Project> findProject(const QString& path) const;
    QString displayName(const Project& project) const;

    // The registry as loaded at construction: set once, before anything watches.
    void load(const Registry& registry);

    // ---- Roots and projects ----
    void addRoot(const QString& folder);
    // Removes the root with its projects, except those in `stopping`, which leave once their
    // servers have ended (see finishLeaving).
    void removeRoot(const QString& root, const QStringList& stopping);
    // Registers one project folder: its path, or the message to show when it refuses.
    struct Added
    {
        std::optional<QString> refusal;
        QString path;
        bool alreadyRegistered = false;
    };
    Added addProject(const QString& folder);
    // Removes a project added by hand.
    void removeProject(const QString& path);
    // The project leaves the list once finishLeaving is called for it.
    void leaveWhenStopped(const QString& path);
    // Drops a project that was to leave once its server ended; returns whether it did.
    bool finishLeaving(const QString& path);
    // Edits one project, then publishes and saves the list when the edit changed it.
    void editProject(const QString& path, const std::function<void(Project&)>& edit);
    // Shows `roots`, `projects` and `infos` instead of the registry's, each notifying only
    // when it changes; saves nothing.
    void show(const QStringList& roots, const QList<Project>& projects,
              const ProjectInfoMap& infos);

    // ---- Scanning, inspection, watching ----
    // Walks all roots in the background and merges the result; dropped while one runs.
    void rescan();
    // Inspects one project, or all, in the background; resolves once the records are applied
    // (at once when there is nothing to inspect).
    QFuture<void> refreshInfo(const QString& path);
    QFuture<void> inspectAll();
    // Applies inspection records; those of projects no longer registered are dropped.
    void applyInfos(const QList<QPair<QString, ProjectInfo>>& infos);
    // A fresh watcher over the roots when `watch` holds, none otherwise.
    void restartWatcher(bool watch);

signals:
    void rootsChanged();
    void projectsChanged();
    void infosChanged();
    void isScanningChanged();
    // A rescan has been merged (after `projectsChanged`).
    void scanApplied();

private:
    void setRoots(const QStringList& roots);
    void setProjects(const QList<Project>& projects);
    void setInfos(const ProjectInfoMap& infos);
    void setIsScanning(bool scanning);
    void applyScan(const QList<RootScanResult>& results);
    // Takes the projects for which `leaves` holds off the list, with their records, and saves.
    void dropProjects(const std::function<bool(const Project&)>& leaves);
    void save() const;

    const AppModelContext& context_;
    ServerQuestion serverRuns_;
    QStringList roots_;
    QList<Project> projects_;
    ProjectInfoMap infos_;
    bool isScanning_ = false;
    bool watching_ = false;
    std::unique_ptr<RootWatcher> watcher_;
    // Projects that leave the list once the server started here for them ends: removed by the
    // user, or no longer found by a scan (then shown with a problem line meanwhile).
    QSet<QString> leaving_;
};
