#include "discovery/config/config_parser.h"
#include "discovery/config/parsed_config.h"
#include "support/binding_ids.h"
#include "support/qt_printers.h"

#include <QJsonDocument>
#include <QSet>

#include <gtest/gtest.h>

namespace {

ParsedConfig extract(const QByteArray& jsonc)
{
    const ConfigParseResult result = parseConfigUtf8(jsonc, ConfigKind::jsonc);
    EXPECT_TRUE(result.ok()) << result.error->description.toStdString();
    return extractConfig(result.tree);
}

} // namespace

TEST(ExtractConfig, EveryBindingSectionInItsFixedOrder)
{
    // Sections appear in the file in a different order from the extraction order.
    const ParsedConfig config = extract(R"({
        "assets": {"binding": "ASSETS", "directory": "./public"},
        "browser": {"binding": "BROWSER"},
        "ai": {"binding": "AI"},
        "analytics_engine_datasets": [{"binding": "WAE", "dataset": "events"}],
        "hyperdrive": [{"binding": "HD", "id": "x"}],
        "vectorize": [{"binding": "VEC", "index_name": "idx"}],
        "services": [{"binding": "AUTH", "service": "auth-worker"}],
        "workflows": [{"binding": "FLOW", "name": "my-flow", "class_name": "Flow"}],
        "durable_objects": {"bindings": [{"name": "ROOM", "class_name": "Room"}]},
        "queues": {"consumers": [{"queue": "jobs"}], "producers": [{"binding": "JOBS", "queue": "jobs"}]},
        "r2_buckets": [{"binding": "BUCKET", "bucket_name": "media"}],
        "kv_namespaces": [{"binding": "CACHE", "id": "abc"}, {"binding": "SESSIONS"}],
        "d1_databases": [{"binding": "DB", "database_name": "main-db"}]
    })");
    EXPECT_EQ(idsOf(config), (QStringList{
                                 QStringLiteral("d1:DB:main-db"),
                                 QStringLiteral("kv:CACHE:"),
                                 QStringLiteral("kv:SESSIONS:"),
                                 QStringLiteral("r2:BUCKET:media"),
                                 QStringLiteral("queue:JOBS:jobs"),
                                 QStringLiteral("queue:jobs:consumer"),
                                 QStringLiteral("durableObject:ROOM:Room"),
                                 QStringLiteral("workflow:FLOW:my-flow"),
                                 QStringLiteral("service:AUTH:auth-worker"),
                                 QStringLiteral("vectorize:VEC:idx"),
                                 QStringLiteral("hyperdrive:HD:"),
                                 QStringLiteral("analytics:WAE:events"),
                                 QStringLiteral("ai:AI:"),
                                 QStringLiteral("browser:BROWSER:"),
                                 QStringLiteral("assets:ASSETS:./public"),
                             }));
    EXPECT_FALSE(config.bindings.at(1).detail.has_value()); // KV has no detail at all
}

TEST(ExtractConfig, ScalarsAreTakenOnlyWhenTheyAreStrings)
{
    const ParsedConfig config = extract(R"({"name": 42, "main": "src/index.ts",
        "compatibility_date": "2024-09-23", "pages_build_output_dir": ["dist"]})");
    EXPECT_FALSE(config.workerName.has_value());
    EXPECT_EQ(config.main, QStringLiteral("src/index.ts"));
    EXPECT_EQ(config.compatibilityDate, QStringLiteral("2024-09-23"));
    EXPECT_FALSE(config.pagesOutputDir.has_value());

    EXPECT_EQ(extract(R"({"pages_build_output_dir": "./dist"})").pagesOutputDir,
              QStringLiteral("./dist"));
    EXPECT_EQ(extract("[1, 2]"), ParsedConfig{});
    EXPECT_EQ(extract(R"({"unrelated": {"name": "x"}})"), ParsedConfig{});
}

TEST(ExtractConfig, EntriesNeedANonEmptyStringNameAndDetailsMustBeStrings)
{
    const ParsedConfig config = extract(R"({"d1_databases": [
        {"database_name": "no-binding"},
        {"binding": "", "database_name": "empty"},
        {"binding": 7, "database_name": "numeric"},
        {"binding": "NO_DETAIL"},
        {"binding": "NUMERIC_DETAIL", "database_name": 12}
    ]})");
    ASSERT_EQ(config.bindings.size(), 2);
    EXPECT_EQ(config.bindings.at(0),
              (WorkerBinding{BindingKind::d1, QStringLiteral("NO_DETAIL"), {}}));
    EXPECT_EQ(config.bindings.at(1).name, QStringLiteral("NUMERIC_DETAIL"));
    EXPECT_FALSE(config.bindings.at(1).detail.has_value());
}

TEST(ExtractConfig, SectionsOfAnotherShapeContributeNothing)
{
    const ParsedConfig config = extract(R"({
        "kv_namespaces": [{"binding": "KV"}, "stray string"],
        "r2_buckets": {"binding": "NOT_AN_ARRAY"},
        "d1_databases": "DB",
        "queues": [{"binding": "Q"}],
        "durable_objects": {"bindings": {"name": "ONE", "class_name": "One"}},
        "services": [[{"binding": "NESTED"}]],
        "ai": [{"binding": "AI"}],
        "browser": "BROWSER"
    })");
    EXPECT_TRUE(config.bindings.isEmpty()) << idsOf(config).join(QLatin1Char(' ')).toStdString();
}

TEST(ExtractConfig, AssetsAndAiDefaults)
{
    EXPECT_EQ(idsOf(extract(R"({"assets": {"directory": "./dist"}})")),
              QStringList{QStringLiteral("assets:assets:./dist")});
    EXPECT_EQ(idsOf(extract(R"({"assets": {"binding": 3}})")),
              QStringList{QStringLiteral("assets:assets:")});
    EXPECT_TRUE(extract(R"({"assets": {"binding": ""}})").bindings.isEmpty());
    EXPECT_TRUE(extract(R"({"ai": {"remote": true}})").bindings.isEmpty());
}

TEST(ExtractConfig, QueuesShowProducersThenConsumersUnderTheQueueName)
{
    const ParsedConfig config = extract(R"({"queues": {
        "consumers": [{"queue": "Q", "max_batch_size": 10}, {"max_retries": 3}],
        "producers": [{"binding": "SEND", "queue": "Q"}, {"queue": "nameless"}]
    }})");
    EXPECT_EQ(idsOf(config),
              (QStringList{QStringLiteral("queue:SEND:Q"), QStringLiteral("queue:Q:consumer")}));
}

// The bindings that reach another Worker name it; a Durable Object of this Worker's own
// (no script_name) and an empty name reach none.
TEST(ExtractConfig, BindingsToOtherWorkersNameThem)
{
    const ParsedConfig config = extract(R"({
        "services": [{"binding": "AUTH", "service": "auth-worker"}],
        "durable_objects": {"bindings": [{"name": "ROOM", "class_name": "Room"},
                                         {"name": "CART", "class_name": "Cart", "script_name": "shop"},
                                         {"name": "EMPTY", "class_name": "E", "script_name": ""}]},
        "tail_consumers": [{"service": "log-sink"}, {"environment": "x"}]
    })");
    ASSERT_EQ(config.bindings.size(), 5);
    QStringList workers;
    for (const WorkerBinding& binding : config.bindings)
        workers.append(binding.worker.value_or(QStringLiteral("-")));
    EXPECT_EQ(workers,
              (QStringList{QStringLiteral("-"), QStringLiteral("shop"), QStringLiteral("-"),
                           QStringLiteral("auth-worker"), QStringLiteral("log-sink")}));
    EXPECT_EQ(config.bindings.last().id(), QStringLiteral("tailConsumer:log-sink:"));
}

TEST(ExtractConfig, EnvironmentSectionsAreNotConsulted)
{
    const ParsedConfig config = extract(R"({"name": "top", "env": {"production": {
        "name": "prod", "d1_databases": [{"binding": "DB", "database_name": "prod-db"}],
        "vars": {"ONLY_IN_PROD": "1"}}}})");
    EXPECT_EQ(config.workerName, QStringLiteral("top"));
    EXPECT_TRUE(config.bindings.isEmpty());
    EXPECT_TRUE(config.varNames.isEmpty());
}

TEST(ExtractConfig, VarNamesAreSortedInPlainStringOrderWhateverTheValues)
{
    EXPECT_EQ(extract(R"({"vars": {"b": 1, "A": {"x": 1}, "a": null}})").varNames,
              (QStringList{QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("b")}));
    // Order of Unicode scalar values: U+FF21 comes before U+1F600 although its UTF-16 unit is
    // larger.
    EXPECT_EQ(
        extract(QString::fromUtf8(R"({"vars": {"😀": 1, "Ａ": 2, "z": 3}})").toUtf8()).varNames,
        (QStringList{QStringLiteral("z"), QString::fromUtf8("Ａ"), QString::fromUtf8("😀")}));
    EXPECT_TRUE(extract(R"({"vars": ["A"]})").varNames.isEmpty());
}

TEST(WorkerBinding, IdentityAndHashFollowKindNameAndDetail)
{
    const WorkerBinding db{BindingKind::d1, QStringLiteral("DB"), QStringLiteral("main-db")};
    EXPECT_EQ(db.id(), QStringLiteral("d1:DB:main-db"));
    EXPECT_EQ((WorkerBinding{BindingKind::kv, QStringLiteral("KV"), {}}).id(),
              QStringLiteral("kv:KV:"));

    QSet<WorkerBinding> set{db, db, WorkerBinding{BindingKind::d1, QStringLiteral("DB"), {}}};
    EXPECT_EQ(set.size(), 2);
    for (BindingKind kind : allBindingKinds())
        EXPECT_EQ(bindingKindFromRaw(rawValue(kind)), kind);
    EXPECT_EQ(rawValue(BindingKind::durableObject), QStringLiteral("durableObject"));
}
