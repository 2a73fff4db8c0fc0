#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <vector>

// Turns JSON with comments into plain JSON: drops a leading byte-order mark, line and block
// comments outside strings, and commas whose next non-whitespace character closes an object or
// an array. Everything else, strings included, is copied unchanged.
QString cleanJsonc(const QString& text);
QByteArray cleanJsoncUtf8(QByteArrayView utf8);

// Where cleaned text came from, per pass: each run of output bytes starting at `cleaned` was
// copied from that pass's input starting at `source`. Runs are in ascending order.
struct CleanedRun
{
    std::size_t cleaned;
    std::size_t source;
};
struct CleanedOffsets
{
    std::vector<CleanedRun> commentsRemoved; // pass 1: original -> without comments
    std::vector<CleanedRun> commasRemoved;   // pass 2: without comments -> cleaned
};

// As cleanJsoncUtf8, also recording the offset map so that a parse error in the cleaned text
// can be reported at its place in the original.
QByteArray cleanJsoncUtf8(QByteArrayView utf8, CleanedOffsets& offsets);
// The offset in the original text of the byte at `cleanedOffset` in the cleaned text.
std::size_t sourceOffset(const CleanedOffsets& offsets, std::size_t cleanedOffset);
