#pragma once

#include "ui/explorer/explorer_page.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

class IconView;
class QFrame;
class QLabel;
class QPushButton;
class QStackedLayout;
struct Palette;

// The Explorer tab while the project runs: a bar with the Explorer address, "Reload" and "Open
// in Browser", above a bordered, rounded container that holds the page, or in its place one
// line saying why there is none (with a "Reload" that tries again).
class ExplorerRunning : public QWidget
{
    Q_OBJECT

public:
    explicit ExplorerRunning(QWidget* parent = nullptr);

    void setAddress(const QUrl& address);
    QUrl address() const { return address_; }
    // Shows `page` in the container (taking ownership); the previous page is deleted.
    void showPage(ExplorerPage* page);
    // Deletes the page, if any, and shows `message` in its place.
    void showMessage(const QString& message);
    // Deletes the page, if any; the container stays empty.
    void clear();
    ExplorerPage* page() const { return page_; }
    void applyPalette(const Palette& palette);

signals:
    void reloadClicked();
    void openInBrowserClicked();

private:
    void discardPage();

    QUrl address_;
    IconView* globe_;
    QLabel* addressLabel_;
    QPushButton* reload_;
    QPushButton* open_;
    QFrame* container_;
    QStackedLayout* stack_;
    QWidget* messagePanel_;
    QLabel* message_;
    QPushButton* retry_;
    QPointer<ExplorerPage> page_;
};
