#pragma once

#include "ui/explorer/explorer_page.h"

#include <QVariant>

#include <chrono>
#include <functional>

class QTimer;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

// The Local Explorer in an embedded web view. Each view has an off-the-record profile of its
// own, so no cookies, storage or cache of the page outlive it; it draws no background of its
// own and gives up a load that has not finished after the time-out.
//
// The page follows the engine's colour scheme, which is fixed at its start. While the
// interface shows the other scheme, the view paints the canvas of the page's scheme behind it,
// so that the page's text never stands on a background of its own colour.
class ExplorerWebView : public ExplorerPage
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout{60000};

    ExplorerWebView(const QUrl& url, bool dark = false, QWidget* parent = nullptr,
                    std::chrono::milliseconds timeout = defaultTimeout);
    ~ExplorerWebView() override;

    // The factory of the running application; null (with the reason) when the engine can't
    // start here.
    static ExplorerPage* create(const QUrl& url, bool dark, QWidget* parent, QString* why);

    QUrl url() const override { return url_; }
    void setDark(bool dark) override;
    QString title() const;
    bool isLoaded() const { return loaded_; }
    // Runs JavaScript in the page and hands its result to `done` (on the main thread).
    void evaluate(const QString& script, std::function<void(const QVariant&)> done);
    // The pid of the renderer process showing the page; 0 while there is none.
    qint64 rendererPid() const;

signals:
    void loadFinished(bool ok);

private:
    QUrl url_;
    // The scheme the engine's pages follow (chosen before the profile exists).
    bool pagesDark_;
    QWebEngineProfile* profile_;
    QWebEnginePage* page_;
    QWebEngineView* view_;
    QTimer* timeout_;
    bool loaded_ = false;
};
