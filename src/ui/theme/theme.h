#pragma once

#include "base/app_settings.h"
#include "ui/theme/palette.h"

#include <QObject>

class SystemColorScheme;

// The effective appearance of the interface: the user's appearance mode resolved against the
// desktop's scheme. It owns the application palette, so every widget follows a change; views
// that paint custom colours read `palette()` when they paint and repaint on `schemeChanged`.
class Theme : public QObject
{
    Q_OBJECT

public:
    // `system` may be null: "follow the system" then means light.
    explicit Theme(SystemColorScheme* system = nullptr, QObject* parent = nullptr);

    AppearanceMode mode() const { return mode_; }
    Scheme scheme() const { return scheme_; }
    bool isDark() const { return scheme_ == Scheme::dark; }
    const Palette& palette() const { return palette_; }

    void setMode(AppearanceMode mode);

signals:
    void schemeChanged(Scheme scheme);

private:
    void resolve();
    void applyToApplication() const;

    SystemColorScheme* system_;
    AppearanceMode mode_ = AppearanceMode::system;
    Scheme scheme_ = Scheme::light;
    Palette palette_;
};
