#pragma once

#include "presentation/overview_details.h"

#include <QFrame>

class QGridLayout;
class QLabel;
class Theme;

// The "Details" card: one row per known fact, a 140-point label column, the value, and a
// button that copies the value (its icon turns to "check" for a moment).
class DetailsCard : public QFrame
{
    Q_OBJECT

public:
    explicit DetailsCard(Theme& theme, QWidget* parent = nullptr);

    // Rebuilds the rows only when they changed, so a copy mark is not lost to a refresh.
    void setRows(const QList<DetailRow>& rows);

    static constexpr int labelWidth = 140;
    static constexpr int copiedMillis = 1500;

private:
    void copy(int row);

    Theme& theme_;
    QList<DetailRow> rows_;
    QLabel* title_;
    QWidget* body_;
    QGridLayout* grid_;
};
