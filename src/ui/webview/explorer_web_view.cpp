#include "ui/webview/explorer_web_view.h"

#include "ui/explorer/web_engine_setup.h"

#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <optional>

namespace {

QString terminationText(QWebEnginePage::RenderProcessTerminationStatus status)
{
    switch (status) {
    case QWebEnginePage::NormalTerminationStatus: return QStringLiteral("ended");
    case QWebEnginePage::AbnormalTerminationStatus: return QStringLiteral("failed");
    case QWebEnginePage::CrashedTerminationStatus: return QStringLiteral("crashed");
    case QWebEnginePage::KilledTerminationStatus: return QStringLiteral("was killed");
    }
    return QStringLiteral("ended");
}

// A load that never reached the server: refused, reset, or a name that does not resolve. The
// engine would draw its own error page for it; the tab says it in its own words instead. Other
// failures (an aborted navigation, an HTTP error the server answered) are the page's to show.
std::optional<QString> unreachableText(const QWebEngineLoadingInfo& info)
{
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
        (info.errorDomain() != QWebEngineLoadingInfo::ConnectionErrorDomain &&
         info.errorDomain() != QWebEngineLoadingInfo::DnsErrorDomain))
        return std::nullopt;
    QString reason = info.errorString();
    reason.remove(QStringLiteral("net::"));
    return QStringLiteral("The Local Explorer can't be reached at %1 (%2).")
        .arg(info.url().authority(), reason);
}

} // namespace

ExplorerWebView::ExplorerWebView(const QUrl& url, bool dark, QWidget* parent,
                                 std::chrono::milliseconds timeout)
    : ExplorerPage(parent), url_(url),
      // Before the first profile: the engine reads its scheme when it starts.
      pagesDark_(chooseWebEngineScheme(dark)),
      // A profile without a storage name is off the record: everything stays in memory and
      // goes with the profile.
      profile_(new QWebEngineProfile(this)), page_(new QWebEnginePage(profile_, this)),
      view_(new QWebEngineView(this)), timeout_(new QTimer(this))
{
    setObjectName(QStringLiteral("explorerWebView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setDark(dark);
    view_->setPage(page_);

    timeout_->setSingleShot(true);
    timeout_->setInterval(timeout);
    connect(timeout_, &QTimer::timeout, this, [this] {
        page_->triggerAction(QWebEnginePage::Stop);
        emit failed(QStringLiteral("The Local Explorer did not load within %1 seconds.")
                        .arg(timeout_->interval() / 1000));
    });
    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (const std::optional<QString> text = unreachableText(info)) {
                    timeout_->stop();
                    emit failed(*text);
                }
            });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        timeout_->stop();
        loaded_ = ok;
        emit loadFinished(ok);
    });
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                timeout_->stop();
                emit failed(QStringLiteral("The web view's renderer %1. Open in Browser still "
                                           "works.")
                                .arg(terminationText(status)));
            });
    timeout_->start();
    page_->load(url_);
}

ExplorerWebView::~ExplorerWebView()
{
    // The page must go before its profile, and the view must not outlive its page.
    timeout_->stop();
    disconnect(page_, nullptr, this, nullptr);
    delete view_;
    delete page_;
    delete profile_;
}

ExplorerPage* ExplorerWebView::create(const QUrl& url, bool dark, QWidget* parent, QString* why)
{
    if (const auto reason = webEngineUnavailableReason()) {
        if (why)
            *why = *reason;
        return nullptr;
    }
    return new ExplorerWebView(url, dark, parent);
}

void ExplorerWebView::setDark(bool dark)
{
    // The browser's own canvas colours for a page of either scheme.
    if (dark == pagesDark_)
        page_->setBackgroundColor(Qt::transparent);
    else
        page_->setBackgroundColor(pagesDark_ ? QColor(0x12, 0x12, 0x12) : QColor(Qt::white));
}

QString ExplorerWebView::title() const
{
    return page_->title();
}

void ExplorerWebView::evaluate(const QString& script, std::function<void(const QVariant&)> done)
{
    page_->runJavaScript(script, [done = std::move(done)](const QVariant& v) { done(v); });
}

qint64 ExplorerWebView::rendererPid() const
{
    return page_->renderProcessPid();
}
