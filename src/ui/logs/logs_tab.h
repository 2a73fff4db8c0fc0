#pragma once

#include "ui/logs/log_presentation.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class EmptyStateBlock;
class QAction;
class LogFindBar;
class LogTextView;
class ProjectRuntime;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTimer;
class QVariantAnimation;
class ToggleButton;
struct UiContext;

// The Logs tab of one project: a toolbar (filter, errors and warnings only, line count, Follow,
// Copy, Save…, Clear) and the find bar above the captured output or an empty state. The filter,
// Follow, the find query and "Copied" are view state: they last as long as the tab, which lasts
// while its project is shown.
class LogsTab : public QWidget
{
    Q_OBJECT

public:
    LogsTab(UiContext& ui, const QString& projectID, QWidget* parent = nullptr);

    // Asks where to save (starting from the proposed path) and calls `chosen` with the path;
    // a cancelled chooser calls nothing. Tests replace it.
    using SaveChooser = std::function<void(const QString& proposed, QWidget* parent,
                                           std::function<void(const QString& path)> chosen)>;
    void setSaveChooser(SaveChooser chooser) { saveChooser_ = std::move(chooser); }

    LogTextView* textView() const { return text_; }
    LogFindBar* findBar() const { return findBar_; }
    LogsContent content() const { return content_; }
    // The lines that pass the filter, oldest first.
    QList<LogLine> visibleLines() const;

    // Lines that arrive while the text was updated less than `appendInterval` ago wait for
    // the interval's end and are appended together: a busy server's output reaches the text a
    // few dozen times a second, not once for every delivery.
    bool appendPending() const { return appendPending_; }

    static constexpr int copiedDuration = 1200; // ms
    static constexpr int copiedFade = 150;      // ms, ease-out
    static constexpr int appendInterval = 50;   // ms

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildToolbar();
    void bindColours();
    void rebuildText();
    void linesArrived();
    void appendLines();
    void refreshContent();
    void showLineCount(qsizetype count);
    void copy();
    void save();
    void setCopied(bool copied);
    void applyFilter();
    void showFollowState();

    UiContext& ui_;
    QString projectID_;
    QPointer<ProjectRuntime> runtime_;
    LogFilter filter_;
    LogsContent content_ = LogsContent::noOutput;
    // The newest log id looked at; later ids are new to the view.
    qint64 seenID_ = -1;
    // Whether the last line looked at was a shown problem or one of its stack frames.
    bool afterProblem_ = false;
    // Changes that arrived while the tab was hidden; the text is rebuilt when it is shown.
    bool stale_ = false;
    bool appendPending_ = false;
    qsizetype shownCount_ = 0;
    SaveChooser saveChooser_;

    QLineEdit* filterField_;
    QAction* searchIcon_;
    QAction* clearFilter_;
    QLabel* lineCount_;
    QVariantAnimation* countAnimation_;
    ToggleButton* problemsOnly_;
    ToggleButton* follow_;
    QPushButton* copy_;
    QVariantAnimation* copiedAnimation_;
    QPushButton* save_;
    QPushButton* clear_;
    QTimer* copiedTimer_;
    QTimer* appendTimer_;
    QStackedWidget* stack_;
    EmptyStateBlock* empty_;
    LogTextView* text_;
    LogFindBar* findBar_;
};
