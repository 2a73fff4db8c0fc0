#include "model/detail_tab.h"
#include "ui/about/about_window.h"
#include "ui/about/app_icon_art.h"
#include "ui/detail/tab_bar.h"
#include "ui/main_window.h"
#include "ui/support/gui_fixture.h"
#include "ui/theme/status_display.h"
#include "ui/theme/system_color_scheme.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/widgets/icon_view.h"
#include "ui/widgets/lucide.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

TEST(Palette, PairsFollowTheAppearance)
{
    const Palette dark = Palette::forScheme(Scheme::dark);
    const Palette light = Palette::forScheme(Scheme::light);
    EXPECT_EQ(dark.windowBackground, QColor(QStringLiteral("#0A0A0A")));
    EXPECT_EQ(light.windowBackground, QColor(QStringLiteral("#FFFDF9")));
    EXPECT_EQ(dark.sidebarBackground, QColor(QStringLiteral("#0F0F0F")));
    EXPECT_EQ(light.sidebarBackground, QColor(QStringLiteral("#F8F3E8")));
    EXPECT_EQ(dark.secondaryText, light.tertiaryText); // the grey pair swaps roles
    EXPECT_EQ(dark.error, QColor(QStringLiteral("#FF6B6B")));
    EXPECT_EQ(light.error, QColor(QStringLiteral("#B00020")));
    EXPECT_EQ(dark.accent, light.accent);
    EXPECT_EQ(light.selectedRowFill().rgb(), light.primaryText.rgb());
    EXPECT_NEAR(light.selectedRowFill().alphaF(), 0.13, 0.005);
    EXPECT_NEAR(dark.hoveredRowFill().alphaF(), 0.045, 0.005);
}

TEST(StatusDisplay, ChipsDotsAndAccessibleNames)
{
    const Palette dark = Palette::forScheme(Scheme::dark);
    const StatusDisplay stopped = statusDisplay(ProjectStatus::stopped(), dark);
    EXPECT_EQ(stopped.chipLabel, QStringLiteral("Stopped"));
    EXPECT_EQ(stopped.chipIcon, QStringLiteral("power"));
    EXPECT_EQ(stopped.dotColor.rgb(), QColor(QStringLiteral("#6B7280")).rgb());
    EXPECT_NEAR(stopped.dotColor.alphaF(), 0.6, 0.01);
    EXPECT_FALSE(stopped.pulses);
    EXPECT_EQ(statusDisplay(ProjectStatus::starting(), dark).accessibilityLabel,
              QStringLiteral("Starting…"));
    EXPECT_TRUE(statusDisplay(ProjectStatus::running(), dark).pulses);
    const StatusDisplay failed = statusDisplay(ProjectStatus::error(QStringLiteral("boom")), dark);
    EXPECT_EQ(failed.accessibilityLabel, QStringLiteral("Error: boom"));
    EXPECT_EQ(failed.chipIcon, QStringLiteral("triangle-alert"));
    EXPECT_EQ(failed.chipColor, QColor(QStringLiteral("#FF6B6B")));
}

TEST(Theme, ModeResolvesAgainstTheSystemAndNotifiesOnlyOnRealChanges)
{
    Theme theme; // no portal: the system counts as light
    QSignalSpy changed(&theme, &Theme::schemeChanged);
    theme.setMode(AppearanceMode::light);
    EXPECT_EQ(changed.count(), 0);
    theme.setMode(AppearanceMode::dark);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(theme.isDark());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(QStringLiteral("#0A0A0A")));
    theme.setMode(AppearanceMode::dark);
    EXPECT_EQ(changed.count(), 1);
    theme.setMode(AppearanceMode::system);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(theme.scheme(), Scheme::light);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(QStringLiteral("#FFFDF9")));
}

TEST(SystemColorScheme, PortalValuesMapToSchemes)
{
    EXPECT_EQ(SystemColorScheme::fromPortalValue(1), Scheme::dark);
    EXPECT_EQ(SystemColorScheme::fromPortalValue(2), Scheme::light);
    EXPECT_EQ(SystemColorScheme::fromPortalValue(0), std::nullopt);
    EXPECT_EQ(SystemColorScheme::fromPortalValue(7), std::nullopt);
}

TEST(Lucide, IconsAreTintedWithTheRequestedColour)
{
    const QColor amber(QStringLiteral("#F59E0B"));
    const QImage image = Lucide::pixmap(QStringLiteral("square"), amber, 24).toImage();
    ASSERT_FALSE(image.isNull());
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255) {
                ++inked;
                EXPECT_EQ(c.rgb(), amber.rgb());
            }
        }
    EXPECT_GT(inked, 20);
    EXPECT_TRUE(Lucide::pixmap(QStringLiteral("no-such-icon"), amber, 24).isNull());
    EXPECT_TRUE(Lucide::pixmap(QStringLiteral("square"), amber, 0).isNull());
}

TEST(Lucide, EveryIconTheWindowNamesIsVendored)
{
    QStringList names = {"search",
                         "x",
                         "folder-search",
                         "plus",
                         "settings",
                         "folder-plus",
                         "refresh-cw",
                         "cloud",
                         "eye",
                         "shield-check",
                         "star",
                         "star-filled",
                         "square",
                         "play",
                         "rotate-cw",
                         "arrow-up-right",
                         "user-round-key",
                         "ellipsis",
                         "memory-stick",
                         "power",
                         "clock",
                         "zap",
                         "triangle-alert",
                         "heart",
                         "rocket",
                         "leaf",
                         "globe",
                         "layers",
                         "waypoints",
                         "file-text",
                         "sparkles",
                         "minus",
                         "layout-dashboard"};
    for (DetailTab tab : allDetailTabs())
        names << tabIcon(tab);
    for (const QString& name : names)
        EXPECT_TRUE(Lucide::exists(name)) << name.toStdString();
}

TEST(IconView, TakesTheSurroundingColourUnlessOneIsSet)
{
    QWidget parent;
    QPalette pal = parent.palette();
    pal.setColor(QPalette::WindowText, QColor(QStringLiteral("#123456")));
    parent.setPalette(pal);
    IconView icon(QStringLiteral("cloud"), 28, &parent);
    EXPECT_EQ(icon.color(), QColor(QStringLiteral("#123456")));
    icon.setColor(QColor(QStringLiteral("#FF3253")));
    EXPECT_EQ(icon.color(), QColor(QStringLiteral("#FF3253")));
    icon.setColor(QColor());
    EXPECT_EQ(icon.color(), QColor(QStringLiteral("#123456")));
}

TEST(AboutWindow, ShowsTheSupportButtonOnlyWithAnAddress)
{
    Theme theme;
    AboutWindow plain(theme, QUrl(QStringLiteral("https://tallowmere.dev")), QUrl());
    EXPECT_NE(plain.findChild<QPushButton*>(QStringLiteral("aboutWebsite")), nullptr);
    EXPECT_EQ(plain.findChild<QPushButton*>(QStringLiteral("aboutSupport")), nullptr);
    EXPECT_LE(plain.sizeHint().width(), 380);

    AboutWindow supported(theme, QUrl(QStringLiteral("https://tallowmere.dev")),
                          QUrl(QStringLiteral("https://tallowmere.dev/support")));
    QPushButton* support = supported.findChild<QPushButton*>(QStringLiteral("aboutSupport"));
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->text(), QStringLiteral("Support Tallowmere"));
    QSignalSpy opened(&supported, &AboutWindow::openRequested);
    support->click();
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened[0][0].toUrl(), QUrl(QStringLiteral("https://tallowmere.dev/support")));
}

TEST(AboutWindow, DrawsTheApplicationIconEvenBeforeAnyWindowSetOne)
{
    ASSERT_TRUE(QApplication::windowIcon().isNull()) << "this test needs no icon set yet";
    Theme theme;
    AboutWindow about(theme, QUrl(QStringLiteral("https://tallowmere.dev")), QUrl());
    auto* icon = about.findChild<QLabel*>(QStringLiteral("aboutIcon"));
    ASSERT_NE(icon, nullptr);
    const QImage picture = icon->pixmap().toImage();
    ASSERT_FALSE(picture.isNull());
    // The red tile fills the middle of the left edge.
    const QColor tile = picture.pixelColor(picture.width() / 6, picture.height() * 2 / 3);
    EXPECT_GT(tile.red(), 200);
    EXPECT_LT(tile.green(), 140);
}

TEST(AppIconArt, TheHighlightIsWhiteAtFiftyFivePercentAtTheTop)
{
    const QImage icon = AppIconArt::render(1024);
    // Near the top of the tile the fill is about #FF6A7C; 55 % white over it lifts green and
    // blue far above the fill's own values (a weaker highlight stays near 150).
    const QColor top = icon.pixelColor(512, 130);
    EXPECT_GT(top.green(), 170) << top.name().toStdString();
    EXPECT_GT(top.blue(), 180) << top.name().toStdString();
}

TEST(WelcomeScreen, TheDescriptionWrapsInsideItsColumn)
{
    GuiFixture fixture;
    MainWindow window(fixture.ui());
    window.resize(1120, 740);
    window.show();
    auto* text = window.findChild<QLabel*>(QStringLiteral("welcomeText"));
    auto* column = window.findChild<QWidget*>(QStringLiteral("welcomeColumn"));
    ASSERT_NE(text, nullptr);
    ASSERT_NE(column, nullptr);
    QTRY_VERIFY(text->isVisible());
    EXPECT_LE(text->geometry().right(), column->contentsRect().right());
    EXPECT_GE(text->height(), text->heightForWidth(text->width()))
        << "the wrapped text is taller than the label shows";
}

TEST(ThemeBinder, ReappliesOnEverySchemeChangeWhileTheWidgetLives)
{
    const Palette light = Palette::forScheme(Scheme::light);
    const Palette dark = Palette::forScheme(Scheme::dark);
    Theme theme;
    theme.setMode(AppearanceMode::light);
    auto* caption = new QLabel;
    ThemeBinder::bindTextColor(caption, theme, &Palette::secondaryText);
    QLabel inactiveOnly;
    ThemeBinder::bindColor(&inactiveOnly, QPalette::WindowText, theme, &Palette::error,
                           QPalette::Inactive);
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), light.secondaryText);
    EXPECT_EQ(inactiveOnly.palette().color(QPalette::Inactive, QPalette::WindowText), light.error);

    theme.setMode(AppearanceMode::dark);
    EXPECT_EQ(caption->palette().color(QPalette::Active, QPalette::WindowText), dark.secondaryText);
    EXPECT_EQ(caption->palette().color(QPalette::Disabled, QPalette::WindowText),
              dark.secondaryText);
    EXPECT_EQ(inactiveOnly.palette().color(QPalette::Inactive, QPalette::WindowText), dark.error);
    // The other groups keep the application's colour.
    EXPECT_EQ(inactiveOnly.palette().color(QPalette::Active, QPalette::WindowText),
              QApplication::palette().color(QPalette::Active, QPalette::WindowText));

    // A binding ends with its widget.
    delete caption;
    theme.setMode(AppearanceMode::light);
    EXPECT_EQ(inactiveOnly.palette().color(QPalette::Inactive, QPalette::WindowText), light.error);
}
