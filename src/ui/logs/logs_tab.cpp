#include "ui/logs/logs_tab.h"

#include "desktop/alert_presenter.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "ui/logs/log_find_bar.h"
#include "ui/logs/log_text_view.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/empty_state_block.h"
#include "ui/widgets/lucide.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSaveFile>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

QPushButton* toolButton(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setFont(TypeScale::bodyMedium());
    return button;
}

// A non-blocking save dialog.
void chooseWithDialog(const QString& proposed, QWidget* parent,
                      std::function<void(const QString&)> chosen)
{
    auto* dialog = new QFileDialog(parent, QStringLiteral("Save Log"), proposed,
                                   QStringLiteral("Log files (*.log);;All files (*)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::fileSelected, parent,
                     [chosen = std::move(chosen)](const QString& path) { chosen(path); });
    dialog->open();
}

} // namespace

LogsTab::LogsTab(UiContext& ui, const QString& projectID, QWidget* parent)
    : QWidget(parent), ui_(ui), projectID_(projectID), runtime_(ui.model.runtimeFor(projectID)),
      saveChooser_(&chooseWithDialog), copiedTimer_(new QTimer(this)),
      appendTimer_(new QTimer(this)), stack_(new QStackedWidget(this)),
      empty_(new EmptyStateBlock(stack_)), text_(new LogTextView(stack_)),
      findBar_(new LogFindBar(text_, this))
{
    setObjectName(QStringLiteral("logsTab"));
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolbar());
    layout->addWidget(findBar_);
    empty_->setObjectName(QStringLiteral("logsEmptyState"));
    stack_->addWidget(empty_);
    stack_->addWidget(text_);
    layout->addWidget(stack_, 1);

    copiedTimer_->setSingleShot(true);
    copiedTimer_->setInterval(copiedDuration);
    connect(copiedTimer_, &QTimer::timeout, this, [this] { setCopied(false); });
    appendTimer_->setSingleShot(true);
    appendTimer_->setInterval(appendInterval);
    connect(appendTimer_, &QTimer::timeout, this, [this] {
        if (!appendPending_)
            return;
        appendPending_ = false;
        appendLines();
        appendTimer_->start();
    });

    LogBuffer* log = runtime_->log();
    connect(log, &LogBuffer::linesAppended, this, &LogsTab::linesArrived);
    connect(log, &LogBuffer::cleared, this, &LogsTab::rebuildText);
    connect(runtime_, &ProjectRuntime::externalChanged, this, &LogsTab::refreshContent);
    bindColours();
}

QWidget* LogsTab::buildToolbar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("logsToolbar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(8);

    filterField_ = new QLineEdit(bar);
    filterField_->setObjectName(QStringLiteral("logsFilter"));
    filterField_->setPlaceholderText(QStringLiteral("Filter logs"));
    filterField_->setFont(TypeScale::body());
    filterField_->setMinimumWidth(220);
    filterField_->setMaximumWidth(320);
    searchIcon_ = filterField_->addAction(QIcon(), QLineEdit::LeadingPosition);
    clearFilter_ = new QAction(filterField_);
    clearFilter_->setObjectName(QStringLiteral("logsFilterClear"));
    clearFilter_->setToolTip(QStringLiteral("Clear the filter"));
    clearFilter_->setVisible(false);
    filterField_->addAction(clearFilter_, QLineEdit::TrailingPosition);
    connect(clearFilter_, &QAction::triggered, filterField_, &QLineEdit::clear);
    connect(filterField_, &QLineEdit::textChanged, this, [this](const QString& text) {
        clearFilter_->setVisible(!text.isEmpty());
        applyFilter();
    });
    filterField_->setToolTip(QStringLiteral("Show only the lines that contain this text "
                                            "(Ctrl+L or Ctrl+Shift+F; Ctrl+F finds in the log)"));
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}) {
        auto* focusFilter = new QShortcut(keys, this);
        connect(focusFilter, &QShortcut::activated, this, [this] {
            filterField_->setFocus(Qt::ShortcutFocusReason);
            filterField_->selectAll();
        });
    }
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, findBar_, &LogFindBar::open);
    auto* findNext = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(findNext, &QShortcut::activated, this, [this] {
        if (findBar_->isHidden())
            findBar_->open();
        else
            text_->findNext();
    });
    auto* findPrevious = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(findPrevious, &QShortcut::activated, this, [this] {
        if (findBar_->isHidden())
            findBar_->open();
        else
            text_->findPrevious();
    });

    problemsOnly_ =
        new ToggleButton(QStringLiteral("Errors"), QStringLiteral("triangle-alert"), bar);
    problemsOnly_->setObjectName(QStringLiteral("logsProblemsOnly"));
    problemsOnly_->setFont(TypeScale::bodyMedium());
    problemsOnly_->setToolTip(
        QStringLiteral("Show only errors and warnings, each with its stack frames"));
    connect(problemsOnly_, &QPushButton::toggled, this, &LogsTab::applyFilter);

    lineCount_ = new QLabel(bar);
    lineCount_->setObjectName(QStringLiteral("logsLineCount"));
    lineCount_->setFont(TypeScale::caption());
    countAnimation_ = new QVariantAnimation(this);
    countAnimation_->setDuration(250);
    countAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(countAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        lineCount_->setText(QLocale().toString(value.toInt()) + QStringLiteral(" lines"));
    });

    follow_ = new ToggleButton(QStringLiteral("Follow"), QStringLiteral("arrow-down-to-line"), bar);
    follow_->setObjectName(QStringLiteral("logsFollow"));
    follow_->setFont(TypeScale::bodyMedium());
    follow_->setChecked(true);
    // While paused the button stays on and says so; pressing it then goes back to the end.
    connect(follow_, &QPushButton::toggled, this, [this](bool on) {
        if (!on && text_->followPaused()) {
            const QSignalBlocker blocker(follow_);
            follow_->setChecked(true);
            text_->resumeFollow();
        } else {
            text_->setFollow(on);
        }
    });
    connect(text_, &LogTextView::followPausedChanged, this, &LogsTab::showFollowState);
    showFollowState();

    copy_ = toolButton(QStringLiteral("Copy"), QStringLiteral("logsCopy"), bar);
    copy_->setToolTip(QStringLiteral("Copy the selected text, or all visible lines"));
    connect(copy_, &QPushButton::clicked, this, &LogsTab::copy);
    // The label change fades in.
    auto* copyOpacity = new QGraphicsOpacityEffect(copy_);
    copyOpacity->setOpacity(1.0);
    copy_->setGraphicsEffect(copyOpacity);
    copiedAnimation_ = new QVariantAnimation(this);
    copiedAnimation_->setObjectName(QStringLiteral("logsCopiedAnimation"));
    copiedAnimation_->setDuration(copiedFade);
    copiedAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    copiedAnimation_->setStartValue(0.35);
    copiedAnimation_->setEndValue(1.0);
    connect(copiedAnimation_, &QVariantAnimation::valueChanged, copyOpacity,
            [copyOpacity](const QVariant& value) { copyOpacity->setOpacity(value.toDouble()); });
    save_ = toolButton(QStringLiteral("Save…"), QStringLiteral("logsSave"), bar);
    save_->setToolTip(QStringLiteral("Save the visible lines to a file (Ctrl+S)"));
    connect(save_, &QPushButton::clicked, this, &LogsTab::save);
    auto* saveShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(saveShortcut, &QShortcut::activated, this, &LogsTab::save);
    clear_ = toolButton(QStringLiteral("Clear"), QStringLiteral("logsClear"), bar);
    clear_->setToolTip(QStringLiteral("Clear the log"));
    connect(clear_, &QPushButton::clicked, this, [this] {
        if (runtime_)
            runtime_->log()->clear();
    });

    row->addWidget(filterField_);
    row->addWidget(problemsOnly_);
    row->addWidget(lineCount_);
    row->addStretch(1);
    for (QPushButton* button : {static_cast<QPushButton*>(follow_), copy_, save_, clear_})
        row->addWidget(button);
    return bar;
}

void LogsTab::bindColours()
{
    Theme& theme = ui_.theme;
    ThemeBinder::bindColor(this, QPalette::Window, theme, &Palette::logBackground);
    ThemeBinder::bindTextColor(lineCount_, theme, &Palette::secondaryText);
    // The text is built for one scheme's colours: a new scheme builds it anew.
    ThemeBinder::bind(text_, theme, [this](const Palette& p) {
        text_->applyPalette(p);
        rebuildText();
    });
    ThemeBinder::bind(empty_, theme,
                      [empty = empty_](const Palette& p) { empty->applyPalette(p); });
    ThemeBinder::bind(filterField_, theme, [this](const Palette& p) {
        filterField_->setStyleSheet(
            QStringLiteral("QLineEdit { background: %1; border: 1px solid %2; border-radius: 6px;"
                           " padding: 4px 6px; }")
                .arg(p.cardBackground.name(), p.border.name()));
        searchIcon_->setIcon(Lucide::icon(QStringLiteral("search"), p.tertiaryText, 14));
        clearFilter_->setIcon(Lucide::icon(QStringLiteral("x"), p.secondaryText, 14));
    });
    ThemeBinder::bind(follow_, theme,
                      [follow = follow_](const Palette& p) { follow->applyPalette(p); });
    ThemeBinder::bind(problemsOnly_, theme,
                      [button = problemsOnly_](const Palette& p) { button->applyPalette(p); });
    ThemeBinder::bind(findBar_, theme,
                      [bar = findBar_](const Palette& p) { bar->applyPalette(p); });
    ThemeBinder::bind(copy_, theme, [this](const Palette& p) {
        styleButton(copy_, ButtonStyle::plain, p,
                    copiedTimer_->isActive() ? QStringLiteral("check") : QStringLiteral("copy"));
    });
    ThemeBinder::bind(save_, theme, [save = save_](const Palette& p) {
        styleButton(save, ButtonStyle::plain, p, QStringLiteral("download"));
    });
    ThemeBinder::bind(clear_, theme, [clear = clear_](const Palette& p) {
        styleButton(clear, ButtonStyle::plain, p, QStringLiteral("eraser"));
    });
}

QList<LogLine> LogsTab::visibleLines() const
{
    return runtime_ ? filter_.visible(runtime_->log()->lines()) : QList<LogLine>();
}

void LogsTab::applyFilter()
{
    filter_ = LogFilter(filterField_->text(), problemsOnly_->isChecked());
    rebuildText();
}

void LogsTab::showFollowState()
{
    const bool paused = text_->followPaused();
    follow_->setText(paused ? QStringLiteral("Paused") : QStringLiteral("Follow"));
    follow_->setIconName(paused ? QStringLiteral("pause") : QStringLiteral("arrow-down-to-line"));
    follow_->setToolTip(paused ? QStringLiteral("Following is paused while you read; scroll to "
                                                "the end or press to follow again")
                               : QStringLiteral("Keep the newest lines in view"));
    follow_->applyPalette(ui_.theme.palette());
}

void LogsTab::rebuildText()
{
    if (!runtime_)
        return;
    if (!isVisible()) {
        stale_ = true;
        return;
    }
    stale_ = false;
    appendPending_ = false;
    const LogBuffer* log = runtime_->log();
    afterProblem_ = false;
    text_->rebuild(filter_.visible(log->lines(), &afterProblem_));
    seenID_ = log->nextID() - 1;
    refreshContent();
}

void LogsTab::linesArrived()
{
    if (!runtime_ || !isVisible()) {
        stale_ = true;
        return;
    }
    if (appendTimer_->isActive()) {
        appendPending_ = true;
        return;
    }
    appendLines();
    appendTimer_->start();
}

void LogsTab::appendLines()
{
    if (!runtime_ || !isVisible()) {
        stale_ = true;
        return;
    }
    const LogBuffer* log = runtime_->log();
    // Every line before the buffer's first is gone, however many appends that took.
    const qint64 firstKeptID = log->lines().isEmpty() ? log->nextID() : log->lines().first().id;
    QList<LogLine> added = log->linesAfter(seenID_);
    if (!filter_.isEmpty())
        added = filter_.visible(added, &afterProblem_);
    seenID_ = log->nextID() - 1;
    text_->update(added, firstKeptID);
    refreshContent();
}

void LogsTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (stale_)
        rebuildText();
}

void LogsTab::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && findBar_->isVisible()) {
        findBar_->close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LogsTab::refreshContent()
{
    if (!runtime_)
        return;
    const qsizetype shown = text_->lineCount();
    content_ = logsContent(runtime_->external(), runtime_->log()->lines().size(), shown);
    if (content_ == LogsContent::lines) {
        stack_->setCurrentWidget(text_);
    } else {
        const LogsEmptyState state = logsEmptyState(content_, filter_.text());
        empty_->setContent(state.icon, state.title, state.text);
        stack_->setCurrentWidget(empty_);
    }
    showLineCount(shown);
}

void LogsTab::showLineCount(qsizetype count)
{
    if (count == shownCount_ && !lineCount_->text().isEmpty())
        return;
    const qsizetype previous = shownCount_;
    shownCount_ = count;
    countAnimation_->stop();
    if (lineCount_->text().isEmpty() || !isVisible()) {
        lineCount_->setText(QLocale().toString(count) + QStringLiteral(" lines"));
        return;
    }
    // The figure counts from where it stood to its new value.
    countAnimation_->setStartValue(int(previous));
    countAnimation_->setEndValue(int(count));
    countAnimation_->start();
}

void LogsTab::copy()
{
    QGuiApplication::clipboard()->setText(copyText(text_->selectedLogText(), visibleLines()));
    setCopied(true);
}

void LogsTab::setCopied(bool copied)
{
    copy_->setText(copied ? QStringLiteral("Copied") : QStringLiteral("Copy"));
    styleButton(copy_, ButtonStyle::plain, ui_.theme.palette(),
                copied ? QStringLiteral("check") : QStringLiteral("copy"));
    if (copied)
        copiedTimer_->start();
    copiedAnimation_->stop();
    if (isVisible())
        copiedAnimation_->start();
}

void LogsTab::save()
{
    const std::optional<Project> project = ui_.model.findProject(projectID_);
    if (!project || !saveChooser_)
        return;
    const QString proposed = QDir::home().filePath(
        logFileName(ui_.model.displayName(*project), QDateTime::currentDateTime()));
    // The lines are taken when the file is chosen: what is visible then is what is saved.
    QPointer<LogsTab> self(this);
    saveChooser_(proposed, this, [self](const QString& path) {
        if (!self || path.isEmpty())
            return;
        QString text = joinedText(self->visibleLines());
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit())
            return;
        self->ui_.alerts.show(Alert{QStringLiteral("Couldn't save the log"),
                                    path + QStringLiteral(": ") + file.errorString(),
                                    {},
                                    AlertStyle::warning});
    });
}
