#pragma once

#include <QUrl>
#include <QWidget>

class Theme;

// The about window: icon, name and version, the product line, links and credits.
class AboutWindow : public QWidget
{
    Q_OBJECT

public:
    // `support` empty: no support button.
    AboutWindow(Theme& theme, const QUrl& website, const QUrl& support, QWidget* parent = nullptr);

signals:
    // A link button was pressed; the owner opens it in the browser.
    void openRequested(const QUrl& address);
};
