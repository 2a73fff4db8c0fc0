#pragma once

#include "core/model/detail_tab.h"

#include <QWidget>

class Theme;

// Stands in for a tab whose content is not built yet, and says what it will show.
class TabPlaceholder : public QWidget
{
    Q_OBJECT

public:
    TabPlaceholder(DetailTab tab, Theme& theme, QWidget* parent = nullptr);

    static QString explanation(DetailTab tab);
};
