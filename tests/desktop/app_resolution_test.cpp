#include "desktop/app_resolution.h"
#include "support/qt_gtest_printers.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

const ExternalApp terminal{QStringLiteral("com.apple.Terminal"), QStringLiteral("Terminal"),
                           QStringLiteral("/usr/bin/gnome-terminal")};
const ExternalApp kitty{QStringLiteral("net.kovidgoyal.kitty"), QStringLiteral("kitty"),
                        QStringLiteral("/usr/bin/kitty")};

} // namespace

TEST(ResolveApp, AutomaticAndUninstalledSelectionsFallBackToTheFirstInstalledApp)
{
    const QList<ExternalApp> installed{terminal, kitty};
    EXPECT_EQ(resolveApp({}, installed), terminal);
    EXPECT_EQ(resolveApp(QStringLiteral("net.kovidgoyal.kitty"), installed), kitty);
    // Ghostty was chosen once and has since been uninstalled.
    EXPECT_EQ(resolveApp(QStringLiteral("com.mitchellh.ghostty"), installed), terminal);
    // A path that no longer exists, and a bare name that is no path, fall back too.
    EXPECT_EQ(resolveApp(QStringLiteral("/nonexistent/Foo.app"), installed), terminal);
    EXPECT_EQ(resolveApp(QStringLiteral("usr/bin/kitty"), installed), terminal);

    EXPECT_EQ(resolveApp({}, {}), std::nullopt);
    EXPECT_EQ(resolveApp(QStringLiteral("com.apple.Terminal"), {}), std::nullopt);
}

TEST(ResolveApp, AnExistingPathResolvesToAnAppNamedAfterIt)
{
    TempFolder temp;
    const QString foo = temp.makeDir(QStringLiteral("Applications/Foo.app"));
    const QString script = temp.writeScript(QStringLiteral("bin/my.editor.sh"), "exit 0\n");
    const QString dotted = temp.writeScript(QStringLiteral("bin/.hidden"), "exit 0\n");

    // The path wins over the automatic choice although it is in no catalogue.
    EXPECT_EQ(resolveApp(foo, {terminal}), (ExternalApp{foo, QStringLiteral("Foo"), foo}));
    EXPECT_EQ(resolveApp(script, {})->name, QStringLiteral("my.editor"));
    EXPECT_EQ(resolveApp(dotted, {})->name, QStringLiteral(".hidden"));
    EXPECT_EQ(appNameFromPath(foo + QStringLiteral("/")), QStringLiteral("Foo"));

    // An installed app whose id is that very path is preferred (it carries its own name).
    const ExternalApp chosen{script, QStringLiteral("Mine"), script};
    EXPECT_EQ(resolveApp(script, {terminal, chosen}), chosen);
}
