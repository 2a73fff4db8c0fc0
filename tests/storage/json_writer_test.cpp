#include "storage/json_writer.h"
#include "support/qt_printers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

QJsonValue parse(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.constData();
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

} // namespace

TEST(DataFileJson, SortsKeysAtEveryLevelAndIndentsByTwo)
{
    const QJsonObject value{
        {QStringLiteral("zeta"),
         QJsonArray{QJsonObject{{QStringLiteral("b"), 1}, {QStringLiteral("a"), true}},
                    QStringLiteral("x")}},
        {QStringLiteral("alpha"),
         QJsonObject{{QStringLiteral("inner"), false}, {QStringLiteral("Inner"), QJsonValue()}}},
    };
    const QByteArray expected = R"json({
  "alpha" : {
    "Inner" : null,
    "inner" : false
  },
  "zeta" : [
    {
      "a" : true,
      "b" : 1
    },
    "x"
  ]
})json";
    EXPECT_EQ(encodeDataFileJson(value), expected);
}

TEST(DataFileJson, EscapesSlashesQuotesAndControlCharactersButKeepsUnicode)
{
    const QJsonArray value{
        QStringLiteral("/Users/me/Sites/api"), QStringLiteral("say \"hi\" \\ bye"),
        QString::fromUtf8("tab\there\nnew\r\x01\x1f end"), QString::fromUtf8("Grüße ☃ 😀")};
    const QByteArray expected = "[\n"
                                "  \"\\/Users\\/me\\/Sites\\/api\",\n"
                                "  \"say \\\"hi\\\" \\\\ bye\",\n"
                                "  \"tab\\there\\nnew\\r\\u0001\\u001f end\",\n"
                                "  \"Grüße ☃ 😀\"\n"
                                "]";
    const QByteArray written = encodeDataFileJson(value);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(parse(written), QJsonValue(value)); // any JSON reader reads it back unchanged
}

TEST(DataFileJson, WritesNumbersEmptyContainersAndScalarsWithoutTrailingNewline)
{
    EXPECT_EQ(encodeDataFileJson(QJsonArray{}), "[]");
    EXPECT_EQ(encodeDataFileJson(QJsonObject{}), "{}");
    EXPECT_EQ(encodeDataFileJson(QJsonObject{{QStringLiteral("roots"), QJsonArray{}}}),
              "{\n  \"roots\" : []\n}");
    EXPECT_EQ(encodeDataFileJson(QJsonValue(8787)), "8787");
    EXPECT_EQ(encodeDataFileJson(QJsonValue(-3)), "-3");
    EXPECT_EQ(encodeDataFileJson(QJsonValue(qint64(1733572800123456789))), "1733572800123456789");
    EXPECT_EQ(encodeDataFileJson(QJsonValue(2.5)), "2.5");
    EXPECT_EQ(encodeDataFileJson(QJsonValue(0.1)), "0.1");
    EXPECT_EQ(encodeDataFileJson(QJsonValue(std::numeric_limits<double>::infinity())), "null");
    EXPECT_EQ(encodeDataFileJson(QJsonValue(QStringLiteral("a"))), "\"a\"");
}

TEST(DataFileJson, OrdersKeysByCodePointNotByLocale)
{
    const QJsonObject value{{QString::fromUtf8("é"), 1},
                            {QStringLiteral("b"), 2},
                            {QStringLiteral("B"), 3},
                            {QStringLiteral("a"), 4}};
    EXPECT_EQ(encodeDataFileJson(value),
              QByteArray("{\n  \"B\" : 3,\n  \"a\" : 4,\n  \"b\" : 2,\n  \"é\" : 1\n}"));
}

TEST(DataFileJson, StringsThatAreNotValidUnicodeStillReadBackExactly)
{
    // A lone surrogate (possible after reading "\ud800" from a hand-edited file) has no UTF-8
    // form; it is written as an escape so that the next read gives the same string.
    const QString lone = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") + QChar(0xDC00);
    const QString paired = QString::fromUtf8("😀");
    const QJsonArray value{lone, paired};
    const QByteArray written = encodeDataFileJson(value);
    EXPECT_EQ(written, QByteArray("[\n  \"a\\ud800b\\udc00\",\n  \"😀\"\n]"));
    EXPECT_EQ(parse(written), QJsonValue(value));
}
