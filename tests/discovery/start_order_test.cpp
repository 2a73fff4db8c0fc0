#include "discovery/start_order.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {

ServiceNode node(const char* id, const char* worker, const char* needs = "")
{
    QStringList needed = QString::fromLatin1(needs).split(u' ', Qt::SkipEmptyParts);
    return {QString::fromLatin1(id), QString::fromLatin1(worker), needed};
}

QStringList ids(const char* spaced)
{
    return QString::fromLatin1(spaced).split(u' ');
}

// The plan's steps as "a" or "b+c" for a cycle started together.
QStringList stepsOf(const StartPlan& plan)
{
    QStringList steps;
    for (const StartStep& step : plan.steps)
        steps.append(step.projectIDs.join(u'+'));
    return steps;
}

} // namespace

TEST(StartOrder, AChainStartsFromItsFarEnd)
{
    // web needs api, api needs auth; a project nobody needs stays out, a self binding is no need.
    const QList<ServiceNode> nodes{node("web", "web-w", "api-w web-w"),
                                   node("api", "api-w", "auth-w"), node("auth", "auth-w"),
                                   node("other", "other-w", "web-w")};
    const StartPlan plan = planServiceStart(QStringLiteral("web"), nodes);
    EXPECT_EQ(stepsOf(plan), ids("auth api web"));
    EXPECT_TRUE(plan.unresolved.isEmpty());
    EXPECT_EQ(stepsOf(planServiceStart(QStringLiteral("auth"), nodes)), ids("auth"));
    EXPECT_TRUE(planServiceStart(QStringLiteral("missing"), nodes).steps.isEmpty());
}

TEST(StartOrder, ADiamondStartsTheSharedServiceOnce)
{
    const QList<ServiceNode> nodes{
        node("app", "app", "users billing"), node("users", "users", "db-proxy"),
        node("billing", "billing", "db-proxy users"), node("db", "db-proxy")};
    EXPECT_EQ(stepsOf(planServiceStart(QStringLiteral("app"), nodes)), ids("db users billing app"));
}

TEST(StartOrder, ACycleStartsTogetherAfterWhatItNeeds)
{
    // front needs chat; chat and presence need each other; presence needs auth.
    const QList<ServiceNode> nodes{node("front", "front", "chat"), node("chat", "chat", "presence"),
                                   node("presence", "presence", "chat auth"), node("auth", "auth")};
    const StartPlan plan = planServiceStart(QStringLiteral("front"), nodes);
    EXPECT_EQ(stepsOf(plan), ids("auth chat+presence front"));
    EXPECT_TRUE(plan.steps[1].cycle());
    // Asked for a member of the cycle: the whole cycle is the last step.
    EXPECT_EQ(stepsOf(planServiceStart(QStringLiteral("presence"), nodes)),
              ids("auth presence+chat"));
}

TEST(StartOrder, BindingsToNothingLocalAreReportedNotFatal)
{
    // "payments" runs nowhere here; "shared" is declared twice, so starting either is a guess.
    const QList<ServiceNode> nodes{node("shop", "shop", "payments cart shared"),
                                   node("cart", "cart", "payments"), node("a", "shared"),
                                   node("b", "shared"), node("unnamed", "")};
    const StartPlan plan = planServiceStart(QStringLiteral("shop"), nodes);
    EXPECT_EQ(stepsOf(plan), ids("cart shop"));
    EXPECT_EQ(plan.unresolved,
              (QList<UnresolvedWorker>{{QStringLiteral("shop"), QStringLiteral("payments")},
                                       {QStringLiteral("shop"), QStringLiteral("shared")},
                                       {QStringLiteral("cart"), QStringLiteral("payments")}}));
}
