#pragma once

#include "ui/explorer/explorer_page.h"
#include "ui/widgets/coalesced_call.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

class ExplorerNotRunning;
class ExplorerRunning;
class ExplorerTooOld;
class ProjectRuntime;
class QStackedWidget;
struct Palette;
struct UiContext;

// The Explorer tab of one project: the project's Local Explorer page while it runs, the reason
// there is none while it does not, or a warning when its tooling is too old to serve it.
//
// The page exists only while the tab is shown with a running project. It is discarded when the
// tab is hidden (another tab, another project, the window gone), when the project stops or its
// address changes, and on "Reload" (a new reload token), so that no web engine memory or page
// data outlives one look at the Explorer.
class ExplorerTab : public QWidget
{
    Q_OBJECT

public:
    enum class Content { notRunning, tooOld, running };

    ExplorerTab(UiContext& ui, const QString& projectID, QWidget* parent = nullptr,
                ExplorerPageFactory pages = {});

    Content content() const { return content_; }
    int reloadToken() const { return reloadToken_; }
    // The page shown now; null unless the tab is visible with a running, supported project.
    ExplorerPage* page() const;
    // A new reload token: the page is discarded and loaded again.
    void reload();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void scheduleRefresh();
    void refresh();
    void updatePage();
    void applyPalette(const Palette& palette);

    UiContext& ui_;
    QString projectID_;
    ExplorerPageFactory pages_;
    QPointer<ProjectRuntime> runtime_;
    QStackedWidget* stack_;
    ExplorerNotRunning* notRunning_;
    ExplorerTooOld* tooOld_;
    ExplorerRunning* running_;
    Content content_ = Content::notRunning;
    int reloadToken_ = 0;
    // The reload token and address the current page (or its failure message) was made for.
    int pageToken_ = -1;
    QUrl pageAddress_;
    CoalescedCall refreshLater_{this, [this] { refresh(); }};
};
