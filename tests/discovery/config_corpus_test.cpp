#include "discovery/config/config_parser.h"
#include "discovery/config/parsed_config.h"
#include "support/binding_ids.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

// Real configurations from public repositories. Each parses, or fails with an error that says
// where; folders named "...syntax-error" hold the ones that must fail.
namespace {

const QString corpus = QStringLiteral(TALLOWMERE_CORPUS_DIR "/wrangler-configs");

QStringList configFiles()
{
    QStringList files;
    QDirIterator it(corpus, {QStringLiteral("wrangler.*")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

ConfigParseResult parseCorpusFile(const QString& folder)
{
    const QStringList files = QDir(corpus + QLatin1Char('/') + folder)
                                  .entryList({QStringLiteral("wrangler.*")}, QDir::Files);
    EXPECT_EQ(files.size(), 1) << folder.toStdString();
    if (files.isEmpty())
        return {};
    QFile file(corpus + QLatin1Char('/') + folder + QLatin1Char('/') + files.first());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return parseConfigUtf8(file.readAll(), configKindForFile(files.first()));
}

ParsedConfig extractCorpusFile(const QString& folder)
{
    const ConfigParseResult result = parseCorpusFile(folder);
    EXPECT_TRUE(result.ok()) << folder.toStdString() << ": "
                             << result.error->description.toStdString();
    return extractConfig(result.tree);
}

} // namespace

TEST(ConfigCorpus, EveryFileParsesOrFailsWithAPlace)
{
    const QStringList files = configFiles();
    ASSERT_GE(files.size(), 80);
    int parsed = 0;
    for (const QString& path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const ConfigParseResult result = parseConfigUtf8(file.readAll(), configKindForFile(path));
        const bool mustFail = path.contains(QStringLiteral("syntax-error"));
        EXPECT_EQ(result.ok(), !mustFail) << path.toStdString();
        if (result.ok()) {
            ++parsed;
            const ParsedConfig config = extractConfig(result.tree);
            for (const WorkerBinding& binding : config.bindings)
                EXPECT_FALSE(binding.name.isEmpty()) << path.toStdString();
        } else {
            EXPECT_GT(result.error->line, 0) << path.toStdString();
            EXPECT_FALSE(result.error->description.isEmpty());
        }
    }
    EXPECT_GE(parsed, files.size() - 1);
}

TEST(ConfigCorpus, TomlKitchenSink)
{
    const ParsedConfig config = extractCorpusFile(QStringLiteral("001-rs-test-kitchen-sink"));
    EXPECT_EQ(config.workerName, QStringLiteral("testing-rust-worker"));
    EXPECT_EQ(config.main, QStringLiteral("build/worker/shim.mjs"));
    EXPECT_EQ(config.compatibilityDate, QStringLiteral("2025-09-23"));
    const QStringList ids = idsOf(config);
    ASSERT_EQ(ids.size(), 21);
    EXPECT_EQ(ids.first(), QStringLiteral("d1:DB:my_db"));
    EXPECT_EQ(ids.mid(1, 3),
              (QStringList{QStringLiteral("kv:SOME_NAMESPACE:"), QStringLiteral("kv:FILE_SIZES:"),
                           QStringLiteral("kv:TEST:")}));
    EXPECT_TRUE(ids.contains(QStringLiteral("queue:my_queue:consumer")));
    EXPECT_EQ(ids.indexOf(QStringLiteral("queue:my_queue:my_queue")) + 1,
              ids.indexOf(QStringLiteral("queue:my_queue:consumer")));
    EXPECT_EQ(ids.last(), QStringLiteral("assets:ASSETS:./public/"));
    EXPECT_EQ(config.varNames, (QStringList{QStringLiteral("SOME_OBJECT_VARIABLE"),
                                            QStringLiteral("SOME_VARIABLE")}));
}

TEST(ConfigCorpus, JsoncWithBlockCommentsAndGlobsInStrings)
{
    const ParsedConfig memories = extractCorpusFile(QStringLiteral("060-memorial-block-comments"));
    EXPECT_EQ(memories.workerName, QStringLiteral("memories"));
    EXPECT_EQ(idsOf(memories),
              (QStringList{QStringLiteral("d1:DB:memory-wall-db"), QStringLiteral("kv:KV:"),
                           QStringLiteral("r2:MEDIA_BUCKET:memory-wall-media"),
                           QStringLiteral("assets:ASSETS:./dist")}));

    const ParsedConfig waku = extractCorpusFile(QStringLiteral("044-c3-waku-vars-nonstring"));
    EXPECT_EQ(waku.compatibilityDate, QStringLiteral("<COMPATIBILITY_DATE>"));
    EXPECT_EQ(waku.varNames, QStringList{QStringLiteral("MAX_ITEMS")});
    EXPECT_EQ(idsOf(waku), QStringList{QStringLiteral("assets:ASSETS:./dist/public")});
}

TEST(ConfigCorpus, PlainJsonAndOddShapes)
{
    const ParsedConfig explorer = extractCorpusFile(QStringLiteral("028-tpl-r2-explorer-json"));
    EXPECT_EQ(explorer.workerName, QStringLiteral("r2-explorer-template"));
    EXPECT_EQ(idsOf(explorer),
              (QStringList{QStringLiteral("r2:bucket:r2-explorer-bucket"),
                           QStringLiteral("assets:ASSETS:node_modules/r2-explorer/dashboard")}));

    // A D1 entry whose keys are all commented out, and a Pages output folder.
    const ParsedConfig pages = extractCorpusFile(QStringLiteral("069-pages-d1-emptyentry"));
    EXPECT_EQ(pages.pagesOutputDir, QStringLiteral("dist"));
    EXPECT_TRUE(pages.bindings.isEmpty());

    // The old "queues.bindings" shape is not one of the known sections.
    const ParsedConfig oldShape =
        extractCorpusFile(QStringLiteral("061-miniflare-queues-bindings-oldshape"));
    EXPECT_TRUE(oldShape.bindings.isEmpty());
    EXPECT_EQ(oldShape.varNames, QStringList{QStringLiteral("KEY")});
}

TEST(ConfigCorpus, ATemplateWithSyntaxErrorsNamesItsPlace)
{
    const ConfigParseResult result =
        parseCorpusFile(QStringLiteral("005-rs-template-liquid-syntax-error"));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->line, 3);
    EXPECT_TRUE(result.error->description.contains(QStringLiteral("at line 3, column ")))
        << result.error->description.toStdString();
}
