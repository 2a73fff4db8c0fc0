#pragma once

#include "ui/theme/palette.h"

#include <QDBusMessage>
#include <QObject>

#include <optional>

// The desktop's preferred colour scheme. The desktop portal's "color-scheme" setting wins when a
// portal answers with a preference; otherwise the lightness of the platform palette's window
// colour decides. The portal is asked asynchronously, so start-up never waits for D-Bus.
class SystemColorScheme : public QObject
{
    Q_OBJECT

public:
    // Reads the platform palette now: construct before the application palette is replaced.
    explicit SystemColorScheme(QObject* parent = nullptr);

    Scheme scheme() const;

    // Maps the portal's value (0 no preference, 1 prefer dark, 2 prefer light).
    static std::optional<Scheme> fromPortalValue(uint value);

signals:
    void schemeChanged(Scheme scheme);

private slots:
    // The portal's SettingChanged (group, key, value), subscribed by slot name.
    void portalSettingChanged(const QDBusMessage& message);

private:
    void askPortal();
    void setPortalScheme(std::optional<Scheme> scheme);

    Scheme paletteScheme_ = Scheme::light;
    std::optional<Scheme> portalScheme_;
};
