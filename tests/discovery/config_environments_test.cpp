#include "discovery/config/config_parser.h"
#include "discovery/config/parsed_config.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

// Named environments as Wrangler resolves them for `--env NAME`, over the real configurations
// that declare some (TOML and JSON) and over odd shapes.
namespace {

const QString corpus = QStringLiteral(TALLOWMERE_CORPUS_DIR "/wrangler-configs");

ParsedConfig corpusConfig(const QString& folder)
{
    const QStringList files = QDir(corpus + u'/' + folder).entryList({"wrangler.*"}, QDir::Files);
    EXPECT_EQ(files.size(), 1) << folder.toStdString();
    if (files.isEmpty())
        return {};
    QFile file(corpus + u'/' + folder + u'/' + files.first());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const ConfigParseResult parsed =
        parseConfigUtf8(file.readAll(), configKindForFile(files.first()));
    EXPECT_TRUE(parsed.ok()) << folder.toStdString();
    return extractConfig(parsed.tree);
}

ParsedConfig jsonConfig(const char* json)
{
    const ConfigParseResult parsed = parseConfigText(QString::fromUtf8(json), ConfigKind::jsonc);
    EXPECT_TRUE(parsed.ok()) << json;
    return extractConfig(parsed.tree);
}

QStringList namesOf(const ParsedConfig& config)
{
    QStringList names;
    for (const EnvironmentConfig& environment : config.environments)
        names.append(environment.name);
    return names;
}

const EnvironmentConfig& environmentNamed(const ParsedConfig& config, const QString& name)
{
    static const EnvironmentConfig none;
    for (const EnvironmentConfig& environment : config.environments)
        if (environment.name == name)
            return environment;
    ADD_FAILURE() << "no environment " << name.toStdString();
    return none;
}

QStringList idsOf(const EnvironmentConfig& environment)
{
    QStringList ids;
    for (const WorkerBinding& binding : environment.bindings)
        ids.append(binding.id());
    return ids;
}

} // namespace

TEST(ConfigEnvironments, EveryCorpusConfigurationWithEnvironmentsListsThemAndNamesItsWorkers)
{
    // Folder -> the environments it declares, by name.
    const QList<std::pair<QString, QStringList>> expected{
        {"001-rs-test-kitchen-sink", {"test"}},
        {"007-sdk-platform-proxy-toml", {"production"}},
        {"008-sdk-d1-env-only-toml", {"production"}},
        {"015-sdk-asset-worker-unsafe-env-toml", {"staging"}},
        {"017-sdk-env-only-vars-toml", {"production", "staging"}},
        {"027-tpl-internal-sites-env", {"local"}},
        {"034-sdk-platform-proxy-jsonc", {"production"}},
        {"037-sdk-d1-env-only-jsonc", {"production"}},
        {"040-sdk-redirected-env-vars", {"prod", "staging"}},
        {"041-sdk-playground-preview-json", {"testing"}},
        {"042-sdk-asset-worker-jsonc", {"fed-prod", "staging"}},
        {"054-docker-proxy", {"dev", "production", "staging"}},
        {"063-native-template-env", {"development", "staging"}},
        {"064-navsphere-pages", {"production"}},
        {"069-pages-d1-emptyentry", {"production"}},
        {"078-url-shortener-legacy", {"production"}},
        {"079-vera-pages-env-only", {"production"}},
    };
    int withEnvironments = 0;
    for (const QString& folder : QDir(corpus).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (folder.contains(QStringLiteral("syntax-error")))
            continue;
        const ParsedConfig config = corpusConfig(folder);
        const auto listed = std::find_if(expected.begin(), expected.end(),
                                         [&](const auto& entry) { return entry.first == folder; });
        EXPECT_EQ(namesOf(config), listed == expected.end() ? QStringList() : listed->second)
            << folder.toStdString();
        withEnvironments += config.environments.isEmpty() ? 0 : 1;
        for (const EnvironmentConfig& environment : config.environments) {
            // A worker name comes from the environment or from a non-empty top-level name.
            if (!environment.workerName) {
                EXPECT_TRUE(!config.workerName || config.workerName->isEmpty())
                    << folder.toStdString();
            }
            for (const WorkerBinding& binding : environment.bindings)
                EXPECT_FALSE(binding.name.isEmpty()) << folder.toStdString();
        }
    }
    EXPECT_EQ(withEnvironments, expected.size());

    // Without a name of its own the environment's worker is "<name>-<environment>".
    const ParsedConfig onlyVars = corpusConfig(QStringLiteral("017-sdk-env-only-vars-toml"));
    EXPECT_EQ(environmentNamed(onlyVars, "staging").workerName, "module-worker-c-staging");
    EXPECT_EQ(environmentNamed(onlyVars, "staging").varNames, QStringList{"MY_ENV"});
    EXPECT_TRUE(onlyVars.varNames.isEmpty());
    EXPECT_TRUE(environmentNamed(onlyVars, "production").notInherited.isEmpty());
    // Its own name wins.
    const ParsedConfig proxy = corpusConfig(QStringLiteral("054-docker-proxy"));
    EXPECT_EQ(environmentNamed(proxy, "staging").workerName, "cloudflare-docker-proxy-staging");
    EXPECT_EQ(environmentNamed(proxy, "dev").varNames, (QStringList{"MODE", "TARGET_UPSTREAM"}));
}

TEST(ConfigEnvironments, TomlAndJsonResolveTheSameEnvironmentWithWhatItDoesNotInherit)
{
    // The same fixture in both formats; the JSON one adds assets and an images binding.
    const ParsedConfig toml = corpusConfig(QStringLiteral("007-sdk-platform-proxy-toml"));
    const ParsedConfig json = corpusConfig(QStringLiteral("034-sdk-platform-proxy-jsonc"));
    const EnvironmentConfig& fromToml = environmentNamed(toml, "production");
    const EnvironmentConfig& fromJson = environmentNamed(json, "production");

    // Inherited: entry and compatibility date; the name gets the environment appended.
    for (const EnvironmentConfig* production : {&fromToml, &fromJson}) {
        EXPECT_EQ(production->workerName, "get-bindings-proxy-fixture-production");
        EXPECT_EQ(production->main, "src/index.ts");
        EXPECT_EQ(production->compatibilityDate, "2023-11-21");
        EXPECT_EQ(production->varNames, (QStringList{"MY_JSON_VAR", "MY_VAR"}));
    }
    // Not inherited: the top level's KV, R2, Hyperdrive and D1 bindings are gone; the
    // environment has only its own KV namespace. Assets are inherited.
    EXPECT_EQ(idsOf(fromToml), QStringList{"kv:MY_KV_PROD:"});
    EXPECT_EQ(idsOf(fromJson), (QStringList{"kv:MY_KV_PROD:", "assets:ASSETS:./public"}));
    // The keys Wrangler warns about: set at the top level, missing from the environment.
    EXPECT_EQ(fromToml.notInherited, (QStringList{"r2_buckets", "d1_databases", "hyperdrive"}));
    EXPECT_EQ(fromJson.notInherited,
              (QStringList{"r2_buckets", "d1_databases", "hyperdrive", "images"}));

    // An environment-only D1 database, in TOML and JSONC alike.
    for (const QString& folder : {QStringLiteral("008-sdk-d1-env-only-toml"),
                                  QStringLiteral("037-sdk-d1-env-only-jsonc")}) {
        const ParsedConfig config = corpusConfig(folder);
        EXPECT_TRUE(config.bindings.isEmpty()) << folder.toStdString();
        const EnvironmentConfig& production = environmentNamed(config, "production");
        EXPECT_EQ(idsOf(production), QStringList{"d1:DATABASE:database"}) << folder.toStdString();
        // Without a name of its own, production runs as "d1-production".
        EXPECT_EQ(production.workerName, "d1-production");
        EXPECT_TRUE(production.notInherited.isEmpty()) << folder.toStdString();
    }
}

TEST(ConfigEnvironments, AnEnvironmentWithOnlyAContainerKeepsNothingButTheInheritedAssets)
{
    const ParsedConfig sink = corpusConfig(QStringLiteral("001-rs-test-kitchen-sink"));
    const EnvironmentConfig& test = environmentNamed(sink, "test");
    EXPECT_EQ(test.workerName, "testing-rust-worker-test");
    EXPECT_EQ(test.main, "build/worker/shim.mjs");
    EXPECT_EQ(idsOf(test), QStringList{"assets:ASSETS:./public/"});
    EXPECT_TRUE(test.varNames.isEmpty());
    for (const char* key : {"vars", "kv_namespaces", "durable_objects", "d1_databases", "queues",
                            "r2_buckets", "services", "analytics_engine_datasets", "ratelimits",
                            "send_email", "secrets_store_secrets"})
        EXPECT_TRUE(test.notInherited.contains(QLatin1StringView(key))) << key;
    EXPECT_FALSE(test.notInherited.contains(QStringLiteral("containers")));
    EXPECT_FALSE(test.notInherited.contains(QStringLiteral("assets")));
}

TEST(ConfigEnvironments, OddEnvironmentTablesDegradeWithoutFailing)
{
    // Not a table: no environments at all.
    EXPECT_TRUE(jsonConfig(R"({"name": "w", "env": 3})").environments.isEmpty());
    EXPECT_TRUE(jsonConfig(R"({"name": "w", "env": ["staging"]})").environments.isEmpty());

    // Entries that are not tables, and an empty name (the top level to Wrangler), are skipped;
    // a name or entry of the wrong type falls back to the top level's.
    const ParsedConfig odd = jsonConfig(R"({
        "name": "w", "main": "src/a.js", "compatibility_date": "2025-01-01",
        "assets": {"directory": "./public"}, "kv_namespaces": [{"binding": "K"}],
        "env": {
            "number": 3, "": {"name": "blank"}, "list": [],
            "typed": {"name": 7, "main": false, "assets": {"directory": "./other"}},
            "nulls": {"vars": null, "kv_namespaces": null}
        }
    })");
    EXPECT_EQ(namesOf(odd), (QStringList{"nulls", "typed"}));
    const EnvironmentConfig& typed = environmentNamed(odd, "typed");
    EXPECT_EQ(typed.workerName, "w-typed");
    EXPECT_EQ(typed.main, "src/a.js");
    EXPECT_EQ(idsOf(typed), QStringList{"assets:assets:./other"}) << "its own assets win";
    EXPECT_EQ(typed.notInherited, QStringList{"kv_namespaces"});
    // A key present but null counts as set, as Wrangler's check for an absent key does.
    const EnvironmentConfig& nulls = environmentNamed(odd, "nulls");
    EXPECT_TRUE(nulls.notInherited.isEmpty());
    EXPECT_EQ(idsOf(nulls), QStringList{"assets:assets:./public"});

    // Without a top-level name, or with an empty one, an environment has no worker name.
    EXPECT_FALSE(environmentNamed(jsonConfig(R"({"env": {"a": {}}})"), "a").workerName);
    EXPECT_FALSE(environmentNamed(jsonConfig(R"({"name": "", "env": {"a": {}}})"), "a").workerName);

    // TOML: dotted tables create the environment without a header of its own.
    const ConfigParseResult toml = parseConfigText(
        QStringLiteral("name = \"t\"\n[env.qa.vars]\nA = \"1\"\n[[env.qa.services]]\n"
                       "binding = \"API\"\nservice = \"api-qa\"\n"),
        ConfigKind::toml);
    ASSERT_TRUE(toml.ok());
    const ParsedConfig fromToml = extractConfig(toml.tree);
    EXPECT_EQ(idsOf(environmentNamed(fromToml, "qa")), QStringList{"service:API:api-qa"});
    EXPECT_EQ(environmentNamed(fromToml, "qa").varNames, QStringList{"A"});
}
