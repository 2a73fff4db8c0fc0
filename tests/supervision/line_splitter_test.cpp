#include "supervision/line_splitter.h"
#include "support/qt_gtest_printers.h"

#include <gtest/gtest.h>

namespace {

QStringList feedAll(LineSplitter& splitter, std::initializer_list<QByteArray> chunks)
{
    QStringList lines;
    for (const QByteArray& chunk : chunks)
        lines += splitter.feed(chunk);
    if (std::optional<QString> rest = splitter.flush())
        lines.append(*rest);
    return lines;
}

} // namespace

TEST(LineSplitter, SplitsAtLineFeedsAcrossChunksAndKeepsEmptyLines)
{
    LineSplitter splitter;
    EXPECT_EQ(feedAll(splitter, {"hel", "lo\nwor", "ld\n\nlast"}),
              (QStringList{"hello", "world", "", "last"}));
    EXPECT_FALSE(splitter.flush().has_value());
}

TEST(LineSplitter, CarriageReturnsKeepTheLastRedrawAlsoWhenSplitAcrossChunks)
{
    LineSplitter splitter;
    EXPECT_EQ(feedAll(splitter, {"a\rb\rc\n"}), QStringList{"c"});
    // "text\r" followed later by the line feed is a CRLF line ending, not an empty redraw.
    EXPECT_EQ(feedAll(splitter, {"done\r", "\r\r", "\n"}), QStringList{"done"});
    EXPECT_EQ(feedAll(splitter, {"10%\r20", "%\r30%\r", "\n"}), QStringList{"30%"});
    EXPECT_EQ(feedAll(splitter, {"\r\r\n"}), QStringList{""});
}

TEST(LineSplitter, RedrawsWithoutLineFeedStayBounded)
{
    LineSplitter splitter;
    QByteArray chunk;
    for (int i = 0; i < 1000; ++i)
        chunk += "\rprogress " + QByteArray::number(i % 100) + "%";
    for (int round = 0; round < 200; ++round) {
        EXPECT_TRUE(splitter.feed(chunk).isEmpty());
        ASSERT_LT(splitter.pendingSize(), 64);
    }
    EXPECT_EQ(splitter.feed("\n"), QStringList{"progress 99%"});
}

TEST(LineSplitter, OverlongLineIsDeliveredInCappedPiecesWithoutLoss)
{
    LineSplitter splitter;
    QByteArray input;
    for (int i = 0; input.size() < qsizetype(200) * 1024; ++i)
        input += QByteArray::number(i) + ' ';
    QStringList lines;
    for (qsizetype at = 0; at < input.size(); at += 5000)
        lines += splitter.feed(input.mid(at, 5000));
    EXPECT_LE(splitter.pendingSize(), LineSplitter::maxLineBytes);
    lines.append(*splitter.flush());
    ASSERT_EQ(lines.size(), 4);
    for (qsizetype i = 0; i < 3; ++i)
        EXPECT_EQ(lines.at(i).size(), LineSplitter::maxLineBytes);
    EXPECT_EQ(lines.join(QString()).toLatin1(), input);
}

TEST(LineSplitter, CapNeverSplitsAMultiByteCharacter)
{
    LineSplitter splitter;
    // 'é' is two bytes; with an odd prefix the cap falls inside a character.
    const QByteArray input = "x" + QString(40000, QChar(0xE9)).toUtf8();
    QStringList lines = splitter.feed(input);
    lines.append(*splitter.flush());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_FALSE(lines.join(QString()).contains(QChar(QChar::ReplacementCharacter)));
    EXPECT_EQ(lines.join(QString()).toUtf8(), input);
}

TEST(LineSplitterClean, RemovesEveryKindOfEscapeSequenceAndNothingElse)
{
    // Control sequences with parameters and intermediates, as in wrangler's framed errors.
    EXPECT_EQ(
        LineSplitter::cleanLine("\x1b[31m\xe2\x9c\x98 \x1b[41;31m[\x1b[41;97mERROR\x1b[41;31m]"
                                "\x1b[0m \x1b[1mAddress\x1b[0m"),
        QString::fromUtf8("✘ [ERROR] Address"));
    EXPECT_EQ(LineSplitter::cleanLine("\x1b[?25lhidden\x1b[?25h\x1b[2 q"), "hidden");
    // Operating-system commands end with BEL or with ESC backslash.
    EXPECT_EQ(LineSplitter::cleanLine("\x1b]0;title\x07text\x1b]8;;http://x\x1b\\link"),
              "textlink");
    EXPECT_EQ(LineSplitter::cleanLine("\x1b(Bplain\x1b)0\x1b=\x1b>"), "plain");
    EXPECT_EQ(LineSplitter::cleanLine("\x1b[2K\x1b[1G"), "");
    EXPECT_EQ(LineSplitter::cleanLine("  indented \t"), "  indented \t");
    // A lone escape that starts no known sequence stays.
    EXPECT_EQ(LineSplitter::cleanLine("a\x1bZb"), QString("a") + QChar(0x1B) + "Zb");
}

TEST(LineSplitterClean, InvalidUtf8BecomesReplacementCharacters)
{
    const QString line = LineSplitter::cleanLine("ok \xff\xfe end");
    EXPECT_TRUE(line.startsWith("ok "));
    EXPECT_TRUE(line.endsWith(" end"));
    EXPECT_TRUE(line.contains(QChar(QChar::ReplacementCharacter)));
}
