#include "discovery/environment_choice.h"
#include "presentation/binding_items.h"
#include "presentation/overview_details.h"
#include "presentation/traffic_card.h"
#include "support/qt_gtest_printers.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

WorkerBinding binding(BindingKind kind, const QString& name,
                      std::optional<QString> detail = std::nullopt)
{
    return WorkerBinding{kind, name, std::move(detail)};
}

QStringList labels(const QList<CopyEntry>& entries)
{
    QStringList result;
    for (const CopyEntry& entry : entries)
        result.append(entry.label + u'=' + entry.value);
    return result;
}

Project project(const QString& path, const QString& name)
{
    Project p;
    p.path = path;
    p.name = name;
    p.configFile = QStringLiteral("wrangler.toml");
    return p;
}

ProjectInfo worker(const QString& name)
{
    ProjectInfo info;
    info.workerName = name;
    return info;
}

} // namespace

TEST(BindingItems, EveryKindHasItsColourTagIconAndExplorerFlag)
{
    struct Row
    {
        BindingKind kind;
        const char* color;
        const char* tag;
        const char* icon;
        bool explorer;
    };
    const QList<Row> table = {
        {BindingKind::d1, "#3B82F6", "D1", "database", true},
        {BindingKind::kv, "#8B5CF6", "KV", "key-round", true},
        {BindingKind::r2, "#F59E0B", "R2", "hard-drive", true},
        {BindingKind::queue, "#10B981", "Queue", "layers", false},
        {BindingKind::durableObject, "#EC4899", "Durable Object", "box", true},
        {BindingKind::workflow, "#06B6D4", "Workflow", "workflow", true},
        {BindingKind::service, "#6366F1", "Service", "link-2", false},
        {BindingKind::ai, "#FF3253", "Workers AI", "sparkles", false},
        {BindingKind::vectorize, "#14B8A6", "Vectorize", "waypoints", false},
        {BindingKind::hyperdrive, "#EAB308", "Hyperdrive", "zap", false},
        {BindingKind::analytics, "#84CC16", "Analytics", "chart-column", false},
        {BindingKind::browser, "#0EA5E9", "Browser", "app-window", false},
        {BindingKind::assets, "#A855F7", "Assets", "image", false},
        {BindingKind::tailConsumer, "#F97316", "Tail consumer", "scroll-text", false},
        {BindingKind::other, "#9CA3AF", "Binding", "package", false},
    };
    ASSERT_EQ(table.size(), allBindingKinds().size());
    for (const Row& row : table) {
        SCOPED_TRACE(rawValue(row.kind).toStdString());
        const BindingItem item = bindingItem(binding(row.kind, QStringLiteral("B")));
        EXPECT_EQ(item.color, QString::fromLatin1(row.color));
        EXPECT_EQ(item.tag, QString::fromLatin1(row.tag));
        EXPECT_EQ(item.icon, QString::fromLatin1(row.icon));
        EXPECT_EQ(item.explorer, row.explorer);
    }
}

TEST(BindingItems, IdsSubtitlesAndCopyEntriesFollowTheDetail)
{
    const BindingItem withDetail =
        bindingItem(binding(BindingKind::d1, QStringLiteral("DB"), QStringLiteral("main-db")));
    EXPECT_EQ(withDetail.id, QStringLiteral("d1:DB:main-db"));
    EXPECT_EQ(withDetail.title, QStringLiteral("DB"));
    EXPECT_EQ(withDetail.subtitle, QStringLiteral("main-db"));
    EXPECT_EQ(labels(withDetail.copyValues),
              (QStringList{QStringLiteral("Copy binding name=DB"),
                           QStringLiteral("Copy resource name=main-db")}));

    const BindingItem without = bindingItem(binding(BindingKind::kv, QStringLiteral("CACHE")));
    EXPECT_EQ(without.id, QStringLiteral("kv:CACHE:"));
    EXPECT_FALSE(without.subtitle);
    EXPECT_EQ(labels(without.copyValues), QStringList{QStringLiteral("Copy binding name=CACHE")});

    // An empty resource name keeps its place in the id but offers nothing to show or copy.
    const BindingItem empty =
        bindingItem(binding(BindingKind::hyperdrive, QStringLiteral("PG"), QString()));
    EXPECT_EQ(empty.id, QStringLiteral("hyperdrive:PG:"));
    EXPECT_FALSE(empty.subtitle);
    EXPECT_EQ(empty.copyValues.size(), 1);
}

TEST(BindingItems, OneVariablesItemAfterTheBindingsCountsAndAbbreviates)
{
    ProjectInfo info;
    info.bindings = {binding(BindingKind::queue, QStringLiteral("JOBS"), QStringLiteral("q"))};
    EXPECT_EQ(buildBindingItems(info).items.size(), 1) << "no variables, no Variables item";

    info.varNames = {QStringLiteral("A")};
    BindingItems built = buildBindingItems(info);
    ASSERT_EQ(built.items.size(), 2);
    const BindingItem one = built.items.last();
    EXPECT_EQ(one.id, QStringLiteral("vars"));
    EXPECT_EQ(one.title, QStringLiteral("Variables"));
    EXPECT_EQ(one.icon, QStringLiteral("braces"));
    EXPECT_TRUE(one.color.isEmpty()) << "drawn in the secondary text colour";
    EXPECT_FALSE(one.explorer);
    EXPECT_EQ(one.tag, QStringLiteral("1 var"));
    EXPECT_EQ(one.subtitle, QStringLiteral("A"));

    const QStringList six = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                             QStringLiteral("D"), QStringLiteral("E"), QStringLiteral("F")};
    const BindingItem four = *variablesItem(six.first(4));
    EXPECT_EQ(four.tag, QStringLiteral("4 vars"));
    EXPECT_EQ(four.subtitle, QStringLiteral("A, B, C, D"));

    const BindingItem all = *variablesItem(six);
    EXPECT_EQ(all.tag, QStringLiteral("6 vars"));
    EXPECT_EQ(all.subtitle, QStringLiteral("A, B, C, D +2"));
    EXPECT_EQ(labels(all.copyValues),
              QStringList{QStringLiteral("Copy variable names=A, B, C, D, E, F")});
}

TEST(BindingItems, ServiceBindingsLinkOnlyToOneOtherRegisteredWorker)
{
    const QList<Project> projects = {
        project(QStringLiteral("/s/gateway"), QStringLiteral("gateway")),
        project(QStringLiteral("/s/auth"), QStringLiteral("auth")),
        project(QStringLiteral("/a/api"), QStringLiteral("api")),
        project(QStringLiteral("/b/api"), QStringLiteral("api")),
        project(QStringLiteral("/s/uninspected"), QStringLiteral("later")),
    };
    const ProjectInfoMap infos = {
        {QStringLiteral("/s/gateway"), worker(QStringLiteral("gateway"))},
        {QStringLiteral("/s/auth"), worker(QStringLiteral("ember-auth"))},
        {QStringLiteral("/a/api"), worker(QStringLiteral("api"))},
        {QStringLiteral("/b/api"), worker(QStringLiteral("api"))},
    };
    ProjectInfo gateway = worker(QStringLiteral("gateway"));
    gateway.bindings = {
        binding(BindingKind::service, QStringLiteral("AUTH"), QStringLiteral("ember-auth")),
        binding(BindingKind::service, QStringLiteral("PAY"), QStringLiteral("payments")),
        binding(BindingKind::service, QStringLiteral("API"), QStringLiteral("api")),
        binding(BindingKind::service, QStringLiteral("SELF"), QStringLiteral("gateway")),
        binding(BindingKind::service, QStringLiteral("LATER"), QStringLiteral("later")),
        // Only service bindings name workers; a queue named like one is no link.
        binding(BindingKind::queue, QStringLiteral("Q"), QStringLiteral("ember-auth")),
    };
    const BindingItems built =
        buildBindingItems(gateway, LocalWorkers{QStringLiteral("/s/gateway"), projects, &infos});

    const LocalService auth{QStringLiteral("/s/auth"), QStringLiteral("auth")};
    ASSERT_EQ(built.localServices.size(), 1);
    EXPECT_EQ(built.localServices.first().first, QStringLiteral("service:AUTH:ember-auth"));
    EXPECT_EQ(built.localServices.first().second, auth);
    EXPECT_EQ(built.items[0].localService, auth);
    for (qsizetype i = 1; i < built.items.size(); ++i)
        EXPECT_FALSE(built.items[i].localService) << built.items[i].id.toStdString();

    // The linked project's name is its display name: "api" is shared, so it gets its folders.
    ProjectInfo caller = worker(QStringLiteral("caller"));
    caller.bindings = {
        binding(BindingKind::service, QStringLiteral("API"), QStringLiteral("only-b"))};
    ProjectInfoMap unique = infos;
    unique[QStringLiteral("/b/api")] = worker(QStringLiteral("only-b"));
    const BindingItems linked =
        buildBindingItems(caller, LocalWorkers{QStringLiteral("/x"), projects, &unique});
    ASSERT_TRUE(linked.items[0].localService);
    EXPECT_EQ(linked.items[0].localService->displayName, QStringLiteral("api  (b/api)"));
}

TEST(OverviewDetails, RowsInOrderOnlyWhenKnown)
{
    const QString home = QStringLiteral("/home/ann");
    Project p = project(QStringLiteral("/home/ann/Sites/api"), QStringLiteral("api"));
    p.configFile = QStringLiteral("wrangler.jsonc");

    const auto render = [](const QList<DetailRow>& rows) {
        QStringList out;
        for (const DetailRow& row : rows)
            out.append(row.label + QStringLiteral(": ") + row.value +
                       (row.mono ? QStringLiteral(" [mono]") : QString()));
        return out;
    };

    // Before inspection: what the registry knows.
    EXPECT_EQ(render(detailRows(p, nullptr, ServerOrigin::here, home)),
              (QStringList{QStringLiteral("Path: ~/Sites/api [mono]"),
                           QStringLiteral("Config: wrangler.jsonc · JSONC"),
                           QStringLiteral("Start command: npx wrangler dev [mono]")}));

    ProjectInfo info;
    info.configKind = ConfigKind::jsonc;
    info.mainEntry = QStringLiteral("src/index.ts");
    info.compatibilityDate = QStringLiteral("2025-01-01");
    info.pagesOutputDir = QStringLiteral("dist");
    info.vitePluginVersion = QStringLiteral("1.2.0");
    info.packageManager = PackageManager::pnpm;
    p.inspectorPort = 9230;
    EXPECT_EQ(
        render(detailRows(p, &info, ServerOrigin::attached, home)),
        (QStringList{
            QStringLiteral("Path: ~/Sites/api [mono]"),
            QStringLiteral("Config: wrangler.jsonc · JSONC"), QStringLiteral("Built with: Pages"),
            QStringLiteral("Entry: src/index.ts"), QStringLiteral("Compatibility date: 2025-01-01"),
            QStringLiteral("Pages output: dist [mono]"),
            QStringLiteral("Start command: pnpm exec wrangler dev [mono]"),
            QStringLiteral("Wrangler: not installed"), QStringLiteral("Vite plugin: 1.2.0"),
            QStringLiteral("Package manager: pnpm"), QStringLiteral("Inspector port: 9230"),
            QStringLiteral("Started by: outside Tallowmere (attached)")}));
    // Found outside and never attached to.
    EXPECT_EQ(render(detailRows(p, &info, ServerOrigin::outside, home)).last(),
              "Started by: outside Tallowmere");
}

TEST(OverviewDetails, InstallHintRunsInThePackageFolderElseTheProject)
{
    const QString home = QStringLiteral("/home/ann");
    const Project p = project(QStringLiteral("/home/ann/mono/apps/api"), QStringLiteral("api"));
    EXPECT_FALSE(installHint(p, nullptr, home)) << "not inspected: nothing is known to miss";

    ProjectInfo info;
    info.packageManager = PackageManager::yarn;
    auto hint = installHint(p, &info, home);
    ASSERT_TRUE(hint);
    EXPECT_EQ(hint->command, QStringLiteral("yarn install"));
    EXPECT_EQ(hint->folder, QStringLiteral("~/mono/apps/api"));

    info.packageRoot = QStringLiteral("/home/ann/mono");
    EXPECT_EQ(installHint(p, &info, home)->folder, QStringLiteral("~/mono"));

    info.wranglerVersion = QStringLiteral("4.1.0");
    info.depsInstalled = true;
    EXPECT_FALSE(installHint(p, &info, home));

    EXPECT_EQ(homeAbbreviated(QStringLiteral("/home/annie/x"), home),
              QStringLiteral("/home/annie/x"));
    EXPECT_EQ(homeAbbreviated(home, home), QStringLiteral("~"));
}

// A project run with an environment shows that environment's worker: its entry, bindings and
// variables, what it does not inherit, and service links that match workers by the names they
// run under.
TEST(OverviewEnvironment, TheChosenEnvironmentIsWhatTheOverviewShowsAndLinksBy)
{
    Project gateway = project(QStringLiteral("/s/gateway"), QStringLiteral("gateway"));
    ProjectInfo gatewayInfo = worker(QStringLiteral("gateway"));
    gatewayInfo.mainEntry = QStringLiteral("src/index.ts");
    gatewayInfo.bindings = {binding(BindingKind::service, "AUTH", QStringLiteral("auth")),
                            binding(BindingKind::kv, "CACHE")};
    gatewayInfo.varNames = {QStringLiteral("MODE")};
    EnvironmentConfig gatewayStaging;
    gatewayStaging.name = QStringLiteral("staging");
    gatewayStaging.workerName = QStringLiteral("gateway-staging");
    gatewayStaging.main = QStringLiteral("src/staging.ts");
    gatewayStaging.bindings = {
        binding(BindingKind::service, "AUTH", QStringLiteral("auth-staging"))};
    gatewayStaging.notInherited = {QStringLiteral("kv_namespaces"), QStringLiteral("vars")};
    gatewayInfo.environments = {gatewayStaging};
    gateway.environment = QStringLiteral("staging");

    Project auth = project(QStringLiteral("/s/auth"), QStringLiteral("auth"));
    ProjectInfo authInfo = worker(QStringLiteral("auth"));
    EnvironmentConfig authStaging;
    authStaging.name = QStringLiteral("staging");
    authStaging.workerName = QStringLiteral("auth-staging");
    authInfo.environments = {authStaging};

    const ProjectInfoMap infos{{gateway.path, gatewayInfo}, {auth.path, authInfo}};
    const auto build = [&] {
        return buildBindingItems(infoForActiveEnvironment(gateway, gatewayInfo),
                                 LocalWorkers{gateway.path, {gateway, auth}, &infos});
    };

    // Staging's own binding list, without the top level's KV namespace or variables.
    BindingItems items = build();
    ASSERT_EQ(items.items.size(), 1);
    EXPECT_EQ(items.items[0].subtitle, QStringLiteral("auth-staging"));
    // auth runs at the top level as "auth": no local worker is named "auth-staging".
    EXPECT_TRUE(items.localServices.isEmpty());
    auth.environment = QStringLiteral("staging");
    items = build();
    ASSERT_EQ(items.localServices.size(), 1);
    EXPECT_EQ(items.localServices[0].second.projectID, auth.path);

    const QList<DetailRow> rows =
        detailRows(gateway, &gatewayInfo, ServerOrigin::here, QStringLiteral("/h"));
    const auto valueOf = [&](const char* label) {
        for (const DetailRow& row : rows)
            if (row.label == QLatin1StringView(label))
                return row.value;
        return QStringLiteral("(none)");
    };
    EXPECT_EQ(valueOf("Environment"), QStringLiteral("staging"));
    EXPECT_EQ(valueOf("Not inherited"), QStringLiteral("kv_namespaces, vars"));
    EXPECT_EQ(valueOf("Entry"), QStringLiteral("src/staging.ts"));
    EXPECT_EQ(valueOf("Start command"), QStringLiteral("npx wrangler dev --env staging"));

    // Declared no longer: said so, and the top level is shown and run.
    gatewayInfo.environments.clear();
    const QList<DetailRow> missing =
        detailRows(gateway, &gatewayInfo, ServerOrigin::here, QStringLiteral("/h"));
    EXPECT_EQ(missing[2].label, QStringLiteral("Environment"));
    EXPECT_EQ(missing[2].value, QStringLiteral("staging (missing: runs the top level)"));
    EXPECT_EQ(missing[3].value, QStringLiteral("src/index.ts"));
}

TEST(TrafficCard, WalksFromNoRequestsThroughTheWindowToAQuietHour)
{
    TrafficStats stats;
    // 12:00:30 UTC; the five-minute window is 11:55:40 to now.
    const qint64 now = QDateTime(QDate(2026, 12, 8), QTime(12, 0, 30), Qt::UTC).toMSecsSinceEpoch();
    const TrafficCardContent none = trafficCard(stats.summary(now), Qt::UTC);
    EXPECT_TRUE(none.empty);
    EXPECT_EQ(none.emptyText, QStringLiteral("No requests yet"));
    EXPECT_TRUE(none.figures.isEmpty());

    // Half an hour ago: in the hour's history only.
    for (int i = 0; i < 4; ++i)
        stats.addRequest(now - qint64(30) * 60'000, u"GET", u"/old", 200, 5);
    const qint64 minute = 60'000;
    stats.addRequest(now - 4 * minute, u"GET", u"/a", 200, 10);
    stats.addRequest(now - 4 * minute, u"GET", u"/b", 200, 12);
    stats.addRequest(now - 3 * minute, u"POST", u"/upload", 201, 1500);
    stats.addRequest(now - 3 * minute, u"GET", u"/missing", 404, 3);
    stats.addException(now - 2 * minute, u"TypeError", u"x is undefined");
    stats.addRequest(now - 2 * minute, u"GET", u"/boom", 500, 80);
    stats.addRequest(now - minute, u"PUT", u"/slow", 503, 700);
    for (int i = 0; i < 7; ++i)
        stats.addRequest(now - 30'000, u"GET", u"/fast", 200, 2);

    const TrafficCardContent card = trafficCard(stats.summary(now), Qt::UTC);
    ASSERT_FALSE(card.empty);
    // 13 requests in five minutes; the 500 with its exception is one error, the 404 none.
    EXPECT_EQ(card.figures, (QList<TrafficFigure>{{QStringLiteral("Requests / min"), "2.6", false},
                                                  {QStringLiteral("Errors"), "15%", true},
                                                  {QStringLiteral("p50"), "2 ms", false},
                                                  {QStringLiteral("p95"), "1.5 s", false}}));
    EXPECT_EQ(card.perMinute[29].requests, 4u);
    EXPECT_EQ(card.perMinute[59].requests, 7u);
    EXPECT_EQ(card.historyCaption, QStringLiteral("Requests per minute, last hour · peak 7"));

    QStringList slowest;
    for (const TrafficRequestRow& row : card.slowest)
        slowest << row.method + u' ' + row.path + u' ' + row.status + u' ' + row.time;
    EXPECT_EQ(slowest,
              (QStringList{"POST /upload 201 1.5 s", "PUT /slow 503 700 ms", "GET /boom 500 80 ms",
                           "GET /b 200 12 ms", "GET /a 200 10 ms"}));
    ASSERT_EQ(card.failed.size(), 2);
    EXPECT_EQ(card.failed[0].path, QStringLiteral("/slow"));
    EXPECT_EQ(card.failed[0].time, QStringLiteral("11:59:30"));
    EXPECT_EQ(card.failed[0].tone, StatusTone::serverError);
    EXPECT_EQ(card.failed[1].detail, QStringLiteral("GET /boom\nTypeError: x is undefined"));
    EXPECT_EQ(card.slowest[0].tone, StatusTone::success);
    EXPECT_EQ(statusTone(404), StatusTone::clientError);
    EXPECT_EQ(statusTone(304), StatusTone::redirect);

    // Ten minutes on the window is empty but the hour is not: zeros and dashes, no lists.
    const TrafficCardContent quiet = trafficCard(stats.summary(now + 10 * minute), Qt::UTC);
    ASSERT_FALSE(quiet.empty);
    EXPECT_EQ(quiet.figures[0].value, QStringLiteral("0"));
    EXPECT_EQ(quiet.figures[1].value, QStringLiteral("—"));
    EXPECT_FALSE(quiet.figures[1].alert);
    EXPECT_EQ(quiet.figures[3].value, QStringLiteral("—"));
    EXPECT_TRUE(quiet.slowest.isEmpty());
    EXPECT_TRUE(quiet.failed.isEmpty());
    EXPECT_EQ(quiet.slowestEmpty, QStringLiteral("No requests in the last 5 minutes"));
    EXPECT_EQ(quiet.perMinute[49].requests, 7u);
}

TEST(TrafficCard, FiguresRoundToWhatStaysReadable)
{
    EXPECT_EQ(requestRateText(0.04), QStringLiteral("0"));
    EXPECT_EQ(requestRateText(0.2), QStringLiteral("0.2"));
    EXPECT_EQ(requestRateText(9.96), QStringLiteral("10"));
    EXPECT_EQ(requestRateText(1234.4), QStringLiteral("1234"));
    // One failure in thousands is still more than none; an exception without its response
    // never makes the share exceed all requests.
    EXPECT_EQ(errorShareText(1, 5000), QStringLiteral("0.1%"));
    EXPECT_EQ(errorShareText(1, 3), QStringLiteral("33%"));
    EXPECT_EQ(errorShareText(3, 2), QStringLiteral("100%"));
    EXPECT_EQ(errorShareText(0, 0), QStringLiteral("0%"));
    EXPECT_EQ(durationText(999), QStringLiteral("999 ms"));
    EXPECT_EQ(durationText(1000), QStringLiteral("1 s"));
    EXPECT_EQ(durationText(12'345), QStringLiteral("12 s"));
    EXPECT_EQ(minuteText({1, 0}, 0), QStringLiteral("1 request · this minute"));
    EXPECT_EQ(minuteText({23, 1}, 17), QStringLiteral("23 requests, 1 error · 17 min ago"));
    EXPECT_EQ(minuteText({0, 2}, 59), QStringLiteral("0 requests, 2 errors · 59 min ago"));
}
