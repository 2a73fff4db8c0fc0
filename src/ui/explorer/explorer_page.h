#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

// Where the Explorer tab shows the Local Explorer page. The tab creates one for a running
// project and deletes it when the page must go; the web engine stays behind this interface,
// so the rest of the interface needs none of its headers.
class ExplorerPage : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    virtual QUrl url() const = 0;
    // The interface's scheme changed: the page follows as far as it can.
    virtual void setDark(bool dark) { Q_UNUSED(dark); }

signals:
    // The page can no longer be shown: the load timed out or the engine's renderer ended.
    // The message says so in one line.
    void failed(const QString& message);
};

// Creates the page for an address in the interface's scheme (`dark` or light), or returns null
// with `why` set when no page can be shown (the web engine cannot start here).
using ExplorerPageFactory =
    std::function<ExplorerPage*(const QUrl& url, bool dark, QWidget* parent, QString* why)>;
