#pragma once

#include "ui/webview/explorer_page.h"

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
class ExplorerWebView : public ExplorerPage
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeout{60000};

    ExplorerWebView(const QUrl& url, QWidget* parent = nullptr,
                    std::chrono::milliseconds timeout = defaultTimeout);
    ~ExplorerWebView() override;

    // The factory of the running application; null (with the reason) when the engine can't
    // start here.
    static ExplorerPage* create(const QUrl& url, QWidget* parent, QString* why);

    QUrl url() const override { return url_; }
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
    QWebEngineProfile* profile_;
    QWebEnginePage* page_;
    QWebEngineView* view_;
    QTimer* timeout_;
    bool loaded_ = false;
};
