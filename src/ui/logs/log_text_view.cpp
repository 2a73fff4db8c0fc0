#include "ui/logs/log_text_view.h"

#include "ui/theme/type_scale.h"

#include <QEvent>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

namespace {

// Characters that would split a line into several blocks become line separators: the line
// stays one block, and the text still breaks where it did. A line longer than the view shows
// is cut, saying how much is left out.
QString blockText(const QString& text)
{
    if (text.size() > LogTextView::maxLineChars)
        return blockText(text.first(LogTextView::maxLineChars)) +
               QStringLiteral(" … [%1 more characters]")
                   .arg(text.size() - LogTextView::maxLineChars);
    const auto splits = [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) ||
               c == QChar(0xFDD1); // frame markers of QTextDocument
    };
    if (std::none_of(text.cbegin(), text.cend(), splits))
        return text;
    QString result = text;
    for (QChar& c : result)
        if (splits(c))
            c = QChar::LineSeparator;
    return result;
}

QString withLineFeeds(QString text)
{
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    return text;
}

int styleKey(const LogLineStyle& style)
{
    return int(style.color) * 8 + int(style.weight);
}

QFont::Weight fontWeight(LogLineStyle::Weight weight)
{
    switch (weight) {
    case LogLineStyle::Weight::regular: return QFont::Normal;
    case LogLineStyle::Weight::medium: return QFont::Medium;
    case LogLineStyle::Weight::semibold: return QFont::DemiBold;
    }
    return QFont::Normal;
}

// The plain-text layout ignores a block's line height: this one leaves the spacing below every
// block but the last, which painting, hit testing and scrolling all take from here.
class SpacedLayout : public QPlainTextDocumentLayout
{
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

    QRectF blockBoundingRect(const QTextBlock& block) const override
    {
        QRectF rect = QPlainTextDocumentLayout::blockBoundingRect(block);
        if (block.isVisible() && block.next().isValid())
            rect.setHeight(rect.height() + LogTextView::lineSpacing);
        return rect;
    }
};

// At most this many matches are drawn at once (a one-letter query over long lines in view).
constexpr qsizetype maxHighlights = 4000;

} // namespace

LogTextView::LogTextView(QWidget* parent) : QPlainTextEdit(parent), barTimer_(new QTimer(this))
{
    setObjectName(QStringLiteral("logsText"));
    auto* document = new QTextDocument(this);
    document->setDocumentLayout(new SpacedLayout(document));
    setDocument(document);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false); // an undo stack would keep every dropped line
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFont(TypeScale::monospaced());
    document->setDocumentMargin(inset);

    QScrollBar* bar = verticalScrollBar();
    bar->setObjectName(QStringLiteral("logsScrollBar"));
    bar->installEventFilter(this);
    // The reader's own scrolling (wheel, keys, the bar) arrives as slider actions; changes made
    // by appending or following do not.
    connect(bar, &QAbstractSlider::actionTriggered, this, &LogTextView::readerScrolled);
    connect(bar, &QAbstractSlider::valueChanged, this, &LogTextView::highlightMatches);
    // A new layout (wider, narrower, longer) keeps the end in view while following.
    connect(bar, &QAbstractSlider::rangeChanged, this, &LogTextView::scrollToEndIfFollowing);
    barTimer_->setSingleShot(true);
    barTimer_->setInterval(scrollBarLinger);
    connect(barTimer_, &QTimer::timeout, this, [this] {
        const QScrollBar* bar = verticalScrollBar();
        if (bar->underMouse() || bar->isSliderDown())
            barTimer_->start();
        else
            revealScrollBar(false);
    });
}

void LogTextView::applyPalette(const Palette& palette)
{
    palette_ = palette;
    formats_.clear();
    QPalette pal = QPlainTextEdit::palette();
    pal.setColor(QPalette::Base, palette.logBackground);
    pal.setColor(QPalette::Text, LogLineStyle::colorOf(LogLineStyle::Color::primary, palette));
    pal.setColor(QPalette::Highlight, Palette::withAlpha(palette.accent, 0.25));
    pal.setColor(QPalette::HighlightedText, palette.primaryText);
    QPlainTextEdit::setPalette(pal);
    styleScrollBar();
    highlightMatches();
}

const QTextCharFormat& LogTextView::formatFor(const LogLineStyle& style)
{
    const int key = styleKey(style);
    auto it = formats_.find(key);
    if (it == formats_.end()) {
        QTextCharFormat format;
        format.setFontWeight(fontWeight(style.weight));
        format.setForeground(LogLineStyle::colorOf(style.color, palette_));
        it = formats_.insert(key, format);
    }
    return *it;
}

void LogTextView::appendLines(QTextCursor& cursor, const QList<LogLine>& lines)
{
    for (const LogLine& line : lines) {
        const QTextCharFormat& format = formatFor(LogLineStyle::of(line.text));
        if (rows_.empty()) {
            // The empty document's one block takes the first line.
            cursor.setBlockCharFormat(format);
        } else {
            cursor.insertBlock(QTextBlockFormat(), format);
        }
        Row row{line.id, blockText(line.text), {}};
        if (line.text.size() > maxLineChars)
            row.full = line.text;
        cursor.insertText(row.shown, format);
        matches_.append(row.shown, firstLine_ + qint64(rows_.size()));
        rows_.push_back(std::move(row));
    }
}

void LogTextView::rebuild(const QList<LogLine>& lines)
{
    rows_.clear();
    firstLine_ = 0;
    matches_.clear();
    document()->clear();
    document()->setDocumentMargin(inset);
    if (!lines.isEmpty()) {
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        appendLines(cursor, lines);
        cursor.endEditBlock();
    }
    scrollToEndIfFollowing();
    if (matches_.active()) {
        revealCurrentMatch();
        emit matchesChanged();
    }
    highlightMatches();
}

void LogTextView::update(const QList<LogLine>& added, qint64 firstKeptID)
{
    qsizetype dropped = 0;
    while (dropped < qsizetype(rows_.size()) && rows_[size_t(dropped)].id < firstKeptID)
        ++dropped;
    if (dropped == qsizetype(rows_.size())) {
        if (dropped > 0 || !added.isEmpty())
            rebuild(added);
        return;
    }
    if (added.isEmpty() && dropped == 0)
        return; // nothing changed: no scrolling either

    const qsizetype matchCount = matches_.count();
    const int keptFirstLine = verticalScrollBar()->value();
    const QTextCursor selection = textCursor();
    const int anchor = selection.anchor();
    const int position = selection.position();
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    appendLines(cursor, added);
    keepSelection(anchor, position);
    int droppedLines = 0;
    if (dropped > 0) {
        // The dropped lines are whole blocks at the front: cut up to the first kept one.
        const QTextBlock firstKept = document()->findBlockByNumber(int(dropped));
        droppedLines = firstKept.firstLineNumber();
        cursor.setPosition(0);
        cursor.setPosition(firstKept.position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        rows_.erase(rows_.begin(), rows_.begin() + dropped);
        firstLine_ += dropped;
        matches_.dropBefore(firstLine_);
    }
    cursor.endEditBlock();
    if (follow_ && !paused_)
        scrollToEndIfFollowing();
    else if (droppedLines > 0) // the lines in view stay in view
        verticalScrollBar()->setValue(std::max(0, keptFirstLine - droppedLines));
    if (matches_.active() && (dropped > 0 || matches_.count() != matchCount)) {
        emit matchesChanged();
        highlightMatches();
    }
}

void LogTextView::keepSelection(int anchor, int position)
{
    // A selection that reaches the end would grow with every appended line.
    QTextCursor selection = textCursor();
    if (selection.anchor() == anchor && selection.position() == position)
        return;
    const int scrolled = verticalScrollBar()->value();
    selection.setPosition(anchor);
    selection.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(selection);
    verticalScrollBar()->setValue(scrolled);
}

std::optional<qint64> LogTextView::lastID() const
{
    if (rows_.empty())
        return std::nullopt;
    return rows_.back().id;
}

void LogTextView::setFollow(bool follow)
{
    follow_ = follow;
    setPaused(false);
    scrollToEndIfFollowing();
}

void LogTextView::resumeFollow()
{
    setPaused(false);
    scrollToEndIfFollowing();
}

void LogTextView::setPaused(bool paused)
{
    if (paused == paused_)
        return;
    paused_ = paused;
    emit followPausedChanged(paused_);
}

void LogTextView::scrollToEndIfFollowing()
{
    if (follow_ && !paused_)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogTextView::readerScrolled()
{
    // The slider position already holds where the action goes.
    const QScrollBar* bar = verticalScrollBar();
    if (follow_)
        setPaused(bar->sliderPosition() < bar->maximum());
    revealScrollBar(true);
}

void LogTextView::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    scrollToEndIfFollowing();
    highlightMatches();
}

bool LogTextView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == verticalScrollBar()) {
        if (event->type() == QEvent::Enter)
            revealScrollBar(true);
        else if (event->type() == QEvent::Leave && barRevealed_)
            barTimer_->start();
    }
    return QPlainTextEdit::eventFilter(watched, event);
}

void LogTextView::revealScrollBar(bool revealed)
{
    if (revealed)
        barTimer_->start();
    if (revealed == barRevealed_)
        return;
    barRevealed_ = revealed;
    styleScrollBar();
}

void LogTextView::styleScrollBar()
{
    const QColor handle =
        barRevealed_ ? Palette::withAlpha(palette_.primaryText, 0.3) : QColor(Qt::transparent);
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 10px;"
                       " margin: 2px 2px 2px 0; }"
                       "QScrollBar::handle:vertical { background: %1; border-radius: 4px;"
                       " min-height: 28px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical"
                       " { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical"
                       " { background: transparent; }")
            .arg(handle.name(QColor::HexArgb)));
}

QString LogTextView::selectedLogText() const
{
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return {};
    const QTextBlock first = document()->findBlock(cursor.selectionStart());
    const QTextBlock last = document()->findBlock(cursor.selectionEnd());
    QStringList pieces;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const int from = block == first ? cursor.selectionStart() - block.position() : 0;
        const int to = block == last ? cursor.selectionEnd() - block.position() : block.length();
        const Row& row = rows_[size_t(block.blockNumber())];
        if (!row.full.isEmpty() && to > int(maxLineChars)) {
            // The selection reaches the note of a shortened line: the line's own text instead.
            pieces.append(row.full.mid(std::min(from, int(maxLineChars))));
        } else {
            pieces.append(withLineFeeds(row.shown.mid(from, to - from)));
        }
        if (block == last)
            break;
    }
    return pieces.join(u'\n');
}

void LogTextView::setFindQuery(const QString& query)
{
    if (query == matches_.query())
        return;
    // Typing on searches on from the current match, or from the first line in view.
    const qint64 from = matches_.current() >= 0 ? matches_.at(matches_.current()).line
                                                : firstLine_ + firstVisibleBlock().blockNumber();
    matches_.search(query, rows_, firstLine_, from);
    revealCurrentMatch();
    highlightMatches();
    emit matchesChanged();
}

void LogTextView::findNext()
{
    matches_.next();
    revealCurrentMatch();
    highlightMatches();
    emit matchesChanged();
}

void LogTextView::findPrevious()
{
    matches_.previous();
    revealCurrentMatch();
    highlightMatches();
    emit matchesChanged();
}

QTextCursor LogTextView::currentMatch() const
{
    if (matches_.current() < 0)
        return {};
    const LogMatches::Match& match = matches_.at(matches_.current());
    const QTextBlock block = document()->findBlockByNumber(int(match.line - firstLine_));
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + match.start);
    cursor.setPosition(block.position() + match.start + match.length, QTextCursor::KeepAnchor);
    return cursor;
}

void LogTextView::revealCurrentMatch()
{
    const QTextCursor match = currentMatch();
    if (match.isNull())
        return;
    const QTextBlock block = match.block();
    const QRectF rect = blockBoundingGeometry(block).translated(contentOffset());
    if (rect.top() >= 0 && rect.bottom() <= viewport()->height())
        return;
    // A third of the way down, where the eye expects it; leaving the end pauses Follow.
    const int linesInView = std::max(1, viewport()->height() / fontMetrics().lineSpacing());
    QScrollBar* bar = verticalScrollBar();
    const int target = std::max(0, block.firstLineNumber() - linesInView / 3);
    if (follow_)
        setPaused(target < bar->maximum());
    bar->setValue(target);
}

void LogTextView::highlightMatches()
{
    if (matches_.count() == 0) {
        if (!extraSelections().isEmpty())
            setExtraSelections({});
        return;
    }
    // Only what is in view is drawn: the matches can be many more than the screen holds.
    const QTextBlock top = firstVisibleBlock();
    if (!top.isValid())
        return;
    const QPointF offset = contentOffset();
    const int height = viewport()->height();
    QTextBlock bottom = top;
    for (QTextBlock block = top.next(); block.isValid(); block = block.next()) {
        if (blockBoundingGeometry(block).translated(offset).top() > height)
            break;
        bottom = block;
    }
    const qint64 lastLine = firstLine_ + bottom.blockNumber();
    QTextCharFormat match;
    match.setBackground(Palette::withAlpha(palette_.starting, 0.3));
    QTextCharFormat current;
    current.setBackground(palette_.starting);
    current.setForeground(QColor(QStringLiteral("#111827")));
    QList<QTextEdit::ExtraSelection> selections;
    QTextBlock block = top;
    for (qsizetype i = matches_.firstFrom(firstLine_ + top.blockNumber());
         i < matches_.count() && selections.size() < maxHighlights; ++i) {
        const LogMatches::Match& m = matches_.at(i);
        if (m.line > lastLine)
            break;
        while (firstLine_ + block.blockNumber() < m.line)
            block = block.next();
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + m.start);
        cursor.setPosition(block.position() + m.start + m.length, QTextCursor::KeepAnchor);
        selections.append({cursor, i == matches_.current() ? current : match});
    }
    setExtraSelections(selections);
}
