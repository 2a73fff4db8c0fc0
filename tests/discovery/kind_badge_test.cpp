#include "discovery/kind_badge.h"

#include <gtest/gtest.h>

TEST(KindBadges, ContentSystemFrameworkAndPagesInThatOrder)
{
    EXPECT_TRUE(kindBadges(nullptr).isEmpty());
    EXPECT_EQ(primaryBadge(nullptr), (KindBadge{"Worker", "cloudflare-workers", "cloud"}));
    ProjectInfo info;
    EXPECT_TRUE(kindBadges(&info).isEmpty());
    EXPECT_EQ(primaryBadge(&info), workerBadge());

    info.pagesOutputDir = QStringLiteral("dist");
    info.framework = QStringLiteral("React Router");
    info.cms = QStringLiteral("EmDash");
    const QList<KindBadge> expected{{"EmDash", "emdash", "minus"},
                                    {"React Router", "reactrouter", "waypoints"},
                                    {"Pages", "cloudflare-pages", "globe"}};
    EXPECT_EQ(kindBadges(&info), expected);
    EXPECT_EQ(primaryBadge(&info), expected.first());

    info.cms = QStringLiteral("emdash"); // only the exact name is the content system
    EXPECT_EQ(primaryBadge(&info).name, QStringLiteral("React Router"));
}

TEST(KindBadges, AFrameworkOutsideTheTableGetsAGenericBadge)
{
    ProjectInfo info;
    info.framework = QStringLiteral("Qwik City");
    EXPECT_EQ(kindBadges(&info),
              (QList<KindBadge>{{"Qwik City", "qwik city", "layout-dashboard"}}));
    EXPECT_EQ(frameworkBadge(QStringLiteral("Next.js")), (KindBadge{"Next.js", "nextjs", "globe"}));
}
