#include "discovery/config/jsonc.h"

#include <gtest/gtest.h>

namespace {

QByteArray clean(const QByteArray& text)
{
    return cleanJsoncUtf8(text);
}

} // namespace

TEST(CleanJsonc, DropsTheByteOrderMarkAndCommentsButKeepsLineFeeds)
{
    EXPECT_EQ(clean("\xEF\xBB\xBF{\"a\": 1}"), QByteArray("{\"a\": 1}"));
    // Only a leading mark is dropped.
    EXPECT_EQ(clean(" \xEF\xBB\xBF"), QByteArray(" \xEF\xBB\xBF"));
    EXPECT_EQ(clean("{ // note\n\"a\": 1 // more\n}"), QByteArray("{ \n\"a\": 1 \n}"));
    EXPECT_EQ(clean("{/* one\ntwo */\"a\": /**/1}"), QByteArray("{\"a\": 1}"));
    EXPECT_EQ(clean("1/**/2"), QByteArray("12")); // dropped, not replaced by a space
    EXPECT_EQ(clean("// only a comment"), QByteArray(""));
    EXPECT_EQ(clean("a /"), QByteArray("a /")); // a slash that ends the text is kept
    EXPECT_EQ(clean("a / b"), QByteArray("a / b"));
}

TEST(CleanJsonc, BlockCommentsNeedTheirOwnClosingPair)
{
    EXPECT_EQ(clean("a/*/ b */c"), QByteArray("ac")); // "/*/" does not close itself
    EXPECT_EQ(clean("a/**/b"), QByteArray("ab"));
    EXPECT_EQ(clean("a/***/b"), QByteArray("ab"));
    EXPECT_EQ(clean("a/* x // y */b"), QByteArray("ab"));
    EXPECT_EQ(clean("{\"a\": 1} /* never closed\n more"), QByteArray("{\"a\": 1} "));
    EXPECT_EQ(clean("{\"a\": /* never closed }"), QByteArray("{\"a\": "));
}

TEST(CleanJsonc, StringsAreCopiedUntouched)
{
    const QByteArray urls = R"({"url": "https://example.com//x", "glob": "/*.js", "c": "a,}"})";
    EXPECT_EQ(clean(urls), urls);
    // An escaped quote does not end the string; an escaped backslash does not escape the quote.
    EXPECT_EQ(clean(R"({"a": "x\" // y", "b": "z\\"// gone
})"),
              QByteArray(R"({"a": "x\" // y", "b": "z\\"
})"));
    // Comment markers after an unterminated string stay part of it.
    EXPECT_EQ(clean(R"({"a": "open // not a comment)"),
              QByteArray(R"({"a": "open // not a comment)"));
    EXPECT_EQ(clean("\"ends with a backslash\\"), QByteArray("\"ends with a backslash\\"));
}

TEST(CleanJsonc, TrailingCommasBeforeClosersGoButTheWhitespaceStays)
{
    EXPECT_EQ(clean("{\"a\": [1, 2,],}"), QByteArray("{\"a\": [1, 2]}"));
    EXPECT_EQ(clean("[1,\n\t \r\n]"), QByteArray("[1\n\t \r\n]"));
    EXPECT_EQ(clean("[1, 2]"), QByteArray("[1, 2]"));
    EXPECT_EQ(clean("[1,,]"), QByteArray("[1,]")); // only the comma next to the closer
    EXPECT_EQ(clean("{\"a\": 1,   "), QByteArray("{\"a\": 1,   ")); // nothing follows: stays
    EXPECT_EQ(clean("[1, x]"), QByteArray("[1, x]"));
    // Comments are gone before commas are looked at, so a comment between them does not matter.
    EXPECT_EQ(clean("[1, // last\n]"), QByteArray("[1 \n]"));
    EXPECT_EQ(clean("[1,/* c */]"), QByteArray("[1]"));
}

TEST(CleanJsonc, WorksOnCharactersBeyondAscii)
{
    const QString text =
        QString::fromUtf8("{\"ключ\": \"значение // нет\", /* 日本 */ \"😀\": [1,],}");
    EXPECT_EQ(cleanJsonc(text), QString::fromUtf8("{\"ключ\": \"значение // нет\",  \"😀\": [1]}"));
    EXPECT_EQ(cleanJsonc(QString(QChar(0xFEFF)) + QStringLiteral("[]")), QStringLiteral("[]"));
}

TEST(CleanJsonc, OffsetsPointBackIntoTheOriginalText)
{
    const QByteArray original = "\xEF\xBB\xBF{ /* c */ \"a\": [1,], // x\n \"b\": 2 }";
    CleanedOffsets offsets;
    const QByteArray cleaned = cleanJsoncUtf8(original, offsets);
    EXPECT_EQ(cleaned, cleanJsoncUtf8(original));
    // Every kept byte maps to the same byte in the original.
    for (qsizetype i = 0; i < cleaned.size(); ++i) {
        const std::size_t source = sourceOffset(offsets, std::size_t(i));
        ASSERT_LT(source, std::size_t(original.size()));
        EXPECT_EQ(original[qsizetype(source)], cleaned[i]) << "cleaned offset " << i;
    }
    EXPECT_EQ(sourceOffset(offsets, std::size_t(cleaned.indexOf("\"b\""))),
              std::size_t(original.indexOf("\"b\"")));
}
