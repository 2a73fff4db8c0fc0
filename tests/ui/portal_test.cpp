// The desktop portal's colour scheme, served by a stand-in portal on a private session bus.
#include "support/wait_until.h"
#include "ui/theme/system_color_scheme.h"
#include "ui/theme/theme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Answers org.freedesktop.portal.Settings.Read the way the real portal does: the value wrapped
// in two variants.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint colorScheme = 1;

public slots:
    QDBusVariant Read(const QString& group, const QString& key)
    {
        if (group != QStringLiteral("org.freedesktop.appearance") ||
            key != QStringLiteral("color-scheme"))
            return QDBusVariant(QVariant::fromValue(QDBusVariant(QString())));
        return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
    }
};

class PortalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address")});
        ASSERT_TRUE(bus.waitForReadyRead(10000));
        address = QString::fromUtf8(bus.readLine().trimmed());
        // The application's session bus is this private one (it is first used after this).
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QDBusConnection server = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
        ASSERT_TRUE(server.isConnected());
        ASSERT_TRUE(server.registerObject(
            QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        if (bus.state() != QProcess::NotRunning) {
            bus.kill();
            bus.waitForFinished(5000);
        }
    }

    // The portal's change signal, as the portal sends it.
    void announce(const QString& key, uint value)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << key
               << QVariant::fromValue(QDBusVariant(value));
        QDBusConnection(QStringLiteral("portal")).send(signal);
    }

    QProcess bus;
    QString address;
    FakePortal portal;
};

} // namespace

TEST_F(PortalTest, TheThemeFollowsThePortalsPreferenceAndItsChanges)
{
    SystemColorScheme system;
    Theme theme(&system);
    // The answer arrives asynchronously: light (the offscreen palette) until then.
    WAIT_UNTIL((system.scheme()) == (Scheme::dark), 10000);
    EXPECT_TRUE(theme.isDark());

    QSignalSpy changed(&theme, &Theme::schemeChanged);
    announce(QStringLiteral("color-scheme"), 2);
    WAIT_UNTIL((changed.count()) == (1), 10000);
    EXPECT_FALSE(theme.isDark());

    // Other settings are ignored; a forced mode ignores the system.
    announce(QStringLiteral("accent-color"), 1);
    theme.setMode(AppearanceMode::dark);
    EXPECT_EQ(changed.count(), 2);
    announce(QStringLiteral("color-scheme"), 1);
    WAIT_UNTIL((system.scheme()) == (Scheme::dark), 10000);
    EXPECT_EQ(changed.count(), 2); // still dark, by the user's choice
}

#include "portal_test.moc"
