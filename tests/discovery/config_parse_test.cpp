#include "discovery/config/config_parser.h"
#include "support/qt_printers.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

ConfigParseResult parse(const QByteArray& text, ConfigKind kind)
{
    return parseConfigUtf8(text, kind);
}

} // namespace

TEST(ConfigKindForFile, ChoosesByLowerCasedExtension)
{
    EXPECT_EQ(configKindForFile(QStringLiteral("wrangler.toml")), ConfigKind::toml);
    EXPECT_EQ(configKindForFile(QStringLiteral("/a/b/wrangler.TOML")), ConfigKind::toml);
    EXPECT_EQ(configKindForFile(QStringLiteral("wrangler.json")), ConfigKind::json);
    EXPECT_EQ(configKindForFile(QStringLiteral("WRANGLER.JSON")), ConfigKind::json);
    EXPECT_EQ(configKindForFile(QStringLiteral("wrangler.jsonc")), ConfigKind::jsonc);
    EXPECT_EQ(configKindForFile(QStringLiteral("wrangler")), ConfigKind::jsonc);
    EXPECT_EQ(configKindForFile(QStringLiteral("wrangler.yaml")), ConfigKind::jsonc);
    EXPECT_EQ(configKindForFile(QStringLiteral("/dir.toml/wrangler")), ConfigKind::jsonc);
    EXPECT_EQ(rawValue(ConfigKind::jsonc), QStringLiteral("jsonc"));
    EXPECT_EQ(configKindFromRaw(QStringLiteral("toml")), ConfigKind::toml);
}

TEST(ParseConfigText, JsonWithCommentsParsesTheSameUnderBothJsonKinds)
{
    const QByteArray text = "\xEF\xBB\xBF{\n"
                            "  // the worker\n"
                            "  \"name\": \"api\", /* inline */\n"
                            "  \"routes\": [\"https://example.com/*\",],\n"
                            "  \"vars\": {\"A\": \"x,}\",},\n"
                            "}\n";
    for (ConfigKind kind : {ConfigKind::json, ConfigKind::jsonc}) {
        const ConfigParseResult result = parse(text, kind);
        ASSERT_TRUE(result.ok()) << result.error->description.toStdString();
        EXPECT_EQ(result.tree.value(QStringLiteral("name")).toString(), QStringLiteral("api"));
        EXPECT_EQ(result.tree.value(QStringLiteral("routes")).toArray().first().toString(),
                  QStringLiteral("https://example.com/*"));
        EXPECT_EQ(result.tree.value(QStringLiteral("vars"))[QStringLiteral("A")].toString(),
                  QStringLiteral("x,}"));
    }
    // The QString entry point gives the same tree.
    EXPECT_EQ(parseConfigText(QString::fromUtf8(text), ConfigKind::jsonc).tree,
              parse(text, ConfigKind::jsonc).tree);
}

TEST(ParseConfigText, ATopLevelArrayIsAnEmptyTreeButAScalarIsAnError)
{
    const ConfigParseResult array = parse("[{\"name\": \"x\"}]", ConfigKind::jsonc);
    EXPECT_TRUE(array.ok());
    EXPECT_TRUE(array.tree.isEmpty());

    for (const QByteArray& text : {QByteArray("5"), QByteArray("\"name\""), QByteArray(""),
                                   QByteArray("// nothing but a comment")})
        EXPECT_FALSE(parse(text, ConfigKind::json).ok()) << text.constData();
}

TEST(ParseConfigText, JsonErrorsSayWhatAndWhereInTheOriginalText)
{
    // The comment lines come before the fault; the position must count them.
    const QByteArray text = "{\n"
                            "  /* a block\n"
                            "     comment */\n"
                            "  \"name\": \"api\"\n"
                            "  \"main\": \"src/index.ts\"\n"
                            "}";
    const ConfigParseResult result = parse(text, ConfigKind::jsonc);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->line, 5);
    EXPECT_EQ(result.error->column, 3); // the key that should have had a comma before it
    EXPECT_EQ(result.error->description,
              QStringLiteral("Invalid JSON: missing comma or closing brace in an object at line "
                             "5, column 3"));
    EXPECT_TRUE(result.tree.isEmpty());

    // An unterminated block comment that swallows the closing brace breaks the document.
    const ConfigParseResult unterminated = parse("{\"name\": \"a\" /* }", ConfigKind::jsonc);
    EXPECT_FALSE(unterminated.ok());
    EXPECT_EQ(unterminated.error->line, 1);
    // ... but after the closing brace it only removes the rest.
    EXPECT_TRUE(parse("{\"name\": \"a\"} /* }\n trailing", ConfigKind::jsonc).ok());
}

TEST(ParseConfigText, JsonErrorsPointAtTheOffendingToken)
{
    const auto errorOf = [](const QByteArray& text) {
        const ConfigParseResult result = parseConfigUtf8(text, ConfigKind::json);
        EXPECT_FALSE(result.ok()) << text.constData();
        return result.error.value_or(ConfigParseError{});
    };
    const ConfigParseError colon = errorOf("{\"a\" 1}");
    EXPECT_EQ(colon.column, 6);
    EXPECT_TRUE(colon.description.contains(QStringLiteral("missing colon")));
    EXPECT_EQ(errorOf("{\"a\": tru}").column, 7);
    EXPECT_TRUE(errorOf("{\"a\": \"open").description.contains(QStringLiteral("not closed")));
    EXPECT_TRUE(errorOf("{} x").description.contains(QStringLiteral("after the end")));
    for (const QByteArray& blank : {QByteArray(""), QByteArray(" \n\t"), QByteArray("/* all */")})
        EXPECT_EQ(errorOf(blank).description,
                  QStringLiteral("Invalid JSON: the file holds no JSON document"));
}

TEST(ParseConfigText, ColumnsCountCharactersNotBytes)
{
    const ConfigParseResult result = parse("{\"é😀\": 1 \"x\": 2}", ConfigKind::jsonc);
    ASSERT_FALSE(result.ok());
    const ConfigParseResult ascii = parse("{\"ab\": 1 \"x\": 2}", ConfigKind::jsonc);
    ASSERT_FALSE(ascii.ok());
    EXPECT_EQ(result.error->column, ascii.error->column);
}

TEST(ParseConfigText, TomlArrivesAsJsonShapedValues)
{
    const QByteArray text = R"(name = "api"
compatibility_date = 2024-09-23
started = 1979-05-27T07:32:00Z
workers_dev = true
limit = 1.5
huge = inf

[[d1_databases]]
binding = "DB"
database_name = "main-db"

[queues]
producers = [{ binding = "Q", queue = "jobs" }]

[vars.nested]
deep = 1
)";
    const ConfigParseResult result = parse(text, ConfigKind::toml);
    ASSERT_TRUE(result.ok()) << result.error->description.toStdString();
    const QJsonObject& tree = result.tree;
    EXPECT_EQ(tree.value(QStringLiteral("compatibility_date")).toString(),
              QStringLiteral("2024-09-23"));
    EXPECT_EQ(tree.value(QStringLiteral("started")).toString(),
              QStringLiteral("1979-05-27T07:32:00Z"));
    EXPECT_EQ(tree.value(QStringLiteral("workers_dev")), QJsonValue(true));
    EXPECT_EQ(tree.value(QStringLiteral("limit")).toDouble(), 1.5);
    EXPECT_TRUE(tree.value(QStringLiteral("huge")).isString()); // JSON has no infinity
    const QJsonArray d1 = tree.value(QStringLiteral("d1_databases")).toArray();
    ASSERT_EQ(d1.size(), 1);
    EXPECT_EQ(d1.first()[QStringLiteral("database_name")].toString(), QStringLiteral("main-db"));
    EXPECT_EQ(tree.value(QStringLiteral(
                  "queues"))[QStringLiteral("producers")][0][QStringLiteral("queue")]
                  .toString(),
              QStringLiteral("jobs"));
    EXPECT_EQ(tree.value(QStringLiteral("vars"))[QStringLiteral("nested")][QStringLiteral("deep")]
                  .toInt(),
              1);
}

TEST(ParseConfigText, TomlErrorsSayWhatAndWhere)
{
    const ConfigParseResult result = parse("name = \"api\"\n\n[vars]\nA = = 1\n", ConfigKind::toml);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->line, 4);
    EXPECT_GT(result.error->column, 0);
    EXPECT_TRUE(result.error->description.startsWith(QStringLiteral("Invalid TOML: ")));
    EXPECT_TRUE(result.error->description.contains(QStringLiteral("line 4")));

    EXPECT_FALSE(parse("a = 1\na = 2\n", ConfigKind::toml).ok()); // redefined key
    EXPECT_FALSE(parse("a = \"unterminated\n", ConfigKind::toml).ok());
    EXPECT_FALSE(parse("\xff\xfe = 1", ConfigKind::toml).ok()); // not UTF-8
    EXPECT_TRUE(parse("", ConfigKind::toml).ok());
}
