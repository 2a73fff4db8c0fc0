#include "model/project_list.h"
#include "model_fixture.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

Project named(const QString& path, const QString& name, bool hidden = false)
{
    Project project;
    project.path = path;
    project.configFile = QStringLiteral("wrangler.toml");
    project.name = name;
    project.hidden = hidden;
    return project;
}

QStringList names(const QList<Project>& projects)
{
    QStringList result;
    for (const Project& project : projects)
        result.append(project.name + u'@' + project.path);
    return result;
}

} // namespace

TEST(ProjectListOrder, CaseInsensitiveLocaleOrderWithPathAsTieBreak)
{
    const QList<Project> projects{
        named(QStringLiteral("/z/api"), QStringLiteral("api")),
        named(QStringLiteral("/a/Api"), QStringLiteral("Api")),
        named(QStringLiteral("/s/beta"), QStringLiteral("beta")),
        named(QStringLiteral("/s/Alpha"), QStringLiteral("Alpha")),
        named(QStringLiteral("/s/hidden"), QStringLiteral("aaa"), true),
        named(QStringLiteral("/s/eclair"), QStringLiteral("\u00e9clair")),
        named(QStringLiteral("/s/zeta"), QStringLiteral("Zeta")),
    };
    // A lower-case b follows a capital A; names equal but for case go by path; an accented
    // letter sorts with its base letter, not after z.
    EXPECT_EQ(names(sortedVisibleProjects(projects, false)),
              (QStringList{"Alpha@/s/Alpha", "Api@/a/Api", "api@/z/api", "beta@/s/beta",
                           "\u00e9clair@/s/eclair", "Zeta@/s/zeta"}));
    EXPECT_EQ(sortedVisibleProjects(projects, true).first().path, QStringLiteral("/s/hidden"));
    EXPECT_TRUE(sortedVisibleProjects({}, false).isEmpty());
}

TEST(ProjectListDisplayName, SharedNamesGetTheLastTwoPathComponents)
{
    const Project aurora =
        named(QStringLiteral("/Users/me/Sites/aurora/api"), QStringLiteral("api"));
    const Project ember = named(QStringLiteral("/Users/me/Sites/ember/api"), QStringLiteral("api"));
    const Project upper = named(QStringLiteral("/Users/me/Sites/x/API"), QStringLiteral("API"));
    const Project root = named(QStringLiteral("/api"), QStringLiteral("api"));
    const QList<Project> all{aurora, ember, upper};

    EXPECT_EQ(displayNameAmong(aurora, all), QStringLiteral("api  (aurora/api)"));
    EXPECT_EQ(displayNameAmong(ember, all), QStringLiteral("api  (ember/api)"));
    // The comparison is exact: a name that differs in case is not a clash.
    EXPECT_EQ(displayNameAmong(upper, all), QStringLiteral("API"));
    // The same path registered twice is not a clash with itself.
    EXPECT_EQ(displayNameAmong(aurora, {aurora, aurora}), QStringLiteral("api"));
    // A path with a single component contributes that component alone.
    EXPECT_EQ(displayNameAmong(root, {root, aurora}), QStringLiteral("api  (api)"));
}

TEST(ProjectListLinks, AdminLinkOnlyForEmDash)
{
    EXPECT_EQ(projectLinksFor(std::nullopt), (QList<ProjectLink>{{"Open Site", "/", "safari"}}));
    EXPECT_EQ(projectLinksFor(QStringLiteral("emdash")).size(), 1);
    const QList<ProjectLink> links = projectLinksFor(QStringLiteral("EmDash"));
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(links[1],
              (ProjectLink{"Open EmDash Admin (Login)", "/_emdash/admin", "person.badge.key"}));
}
