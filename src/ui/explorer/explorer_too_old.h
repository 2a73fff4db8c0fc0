#pragma once

#include "discovery/explorer_support.h"

#include <QFrame>

class IconView;
class QLabel;
class QLineEdit;
class QPushButton;
struct Palette;

// The warning card shown while the project runs with a package too old to serve the Local
// Explorer: what is installed, what is needed, and the command that installs the newest.
class ExplorerTooOld : public QWidget
{
    Q_OBJECT

public:
    explicit ExplorerTooOld(QWidget* parent = nullptr);

    // `folder` is the project's folder as shown ("~" for the home folder).
    void setSupport(const ExplorerSupport& support, const QString& folder);
    void applyPalette(const Palette& palette);

private:
    void copyCommand();

    QFrame* card_;
    IconView* icon_;
    QLabel* title_;
    QLabel* text_;
    QLineEdit* command_;
    QPushButton* copy_;
    QLabel* hint_;
};
