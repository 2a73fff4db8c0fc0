#include "ui/detail/overview/traffic_card.h"

#include "runs/server_activity.h"
#include "ui/detail/overview/elided_label.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/theme/palette.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/on_screen_timer.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The window of the summary moves in ten-second steps: a read within the same step and with
// no new request shows the same.
constexpr qint64 stepMs = 10'000;

QColor toneColor(StatusTone tone, const Palette& p)
{
    switch (tone) {
    case StatusTone::success: return p.running;
    case StatusTone::redirect: return p.secondaryText;
    case StatusTone::clientError: return p.starting;
    case StatusTone::serverError: return p.error;
    }
    return p.secondaryText;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QFont figureFont()
{
    QFont font = TypeScale::heading();
    font.setPixelSize(20);
    return font;
}

} // namespace

// Requests per minute over the hour as a filled line, minutes with errors as bars in the error
// colour under it, on one scale (a bar is at least three pixels: one error still shows).
class TrafficSparkline : public QWidget
{
public:
    TrafficSparkline(Theme& theme, QWidget* parent) : QWidget(parent), theme_(theme)
    {
        setObjectName(QStringLiteral("trafficSparkline"));
        setFixedHeight(44);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void setMinutes(const std::array<MinuteTraffic, TrafficSummary::historyMinutes>& minutes)
    {
        if (minutes == minutes_)
            return;
        minutes_ = minutes;
        update();
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return QWidget::event(event);
        // The minute under the pointer.
        const auto* help = static_cast<QHelpEvent*>(event);
        const int count = int(minutes_.size());
        const qreal step = (width() - 3.0) / (count - 1);
        const int index =
            std::clamp(int(std::lround((help->pos().x() - 1.5) / step)), 0, count - 1);
        QToolTip::showText(help->globalPos(),
                           minuteText(minutes_[size_t(index)], count - 1 - index), this);
        return true;
    }

    void paintEvent(QPaintEvent*) override
    {
        const Palette& p = theme_.palette();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(1.5, 3, -1.5, -1);
        const qreal bottom = area.bottom();
        painter.setPen(QPen(p.border, 1));
        painter.drawLine(QPointF(area.left(), bottom), QPointF(area.right(), bottom));

        quint32 peak = 1;
        for (const MinuteTraffic& minute : minutes_)
            peak = std::max({peak, minute.requests, minute.errors});
        const int count = int(minutes_.size());
        const qreal step = area.width() / (count - 1);
        const auto x = [&](int i) { return area.left() + step * i; };
        const auto y = [&](quint32 value) { return bottom - area.height() * value / peak; };

        // The minute under way has only part of its requests yet: its segment is dashed, so
        // that a drop there does not read as traffic falling off.
        QPainterPath line;
        line.moveTo(x(0), y(minutes_[0].requests));
        for (int i = 1; i < count - 1; ++i)
            line.lineTo(x(i), y(minutes_[i].requests));
        QPainterPath fill = line;
        fill.lineTo(x(count - 1), y(minutes_[count - 1].requests));
        fill.lineTo(x(count - 1), bottom);
        fill.lineTo(x(0), bottom);
        fill.closeSubpath();
        // The line stays neutral so that the error bars, in the error colour, stand out.
        painter.fillPath(fill, Palette::withAlpha(p.secondaryText, theme_.isDark() ? 0.18 : 0.12));

        const qreal barWidth = std::max<qreal>(2.0, step * 0.6);
        for (int i = 0; i < count; ++i) {
            if (minutes_[i].errors == 0)
                continue;
            const qreal top = std::min(y(minutes_[i].errors), bottom - 3);
            painter.fillRect(QRectF(x(i) - barWidth / 2, top, barWidth, bottom - top),
                             Palette::withAlpha(p.error, 0.85));
        }

        painter.setPen(QPen(p.secondaryText, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(line);
        QPen dashed(p.secondaryText, 1.5, Qt::DashLine, Qt::FlatCap);
        dashed.setDashPattern({2.0, 2.0});
        painter.setPen(dashed);
        painter.drawLine(QPointF(x(count - 2), y(minutes_[count - 2].requests)),
                         QPointF(x(count - 1), y(minutes_[count - 1].requests)));
        painter.setPen(Qt::NoPen);
        painter.setBrush(p.primaryText);
        painter.drawEllipse(QPointF(x(count - 1), y(minutes_[count - 1].requests)), 2.5, 2.5);
    }

private:
    Theme& theme_;
    std::array<MinuteTraffic, TrafficSummary::historyMinutes> minutes_{};
};

// A titled list of up to five requests: method, path, status and time, or a quiet line when
// there are none.
class TrafficRequestList : public QWidget
{
public:
    TrafficRequestList(Theme& theme, const QString& title, const QString& rowName, QWidget* parent)
        : QWidget(parent), theme_(theme), empty_(new QLabel(this))
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(4);
        auto* heading = new QLabel(title.toUpper(), this);
        heading->setFont(TypeScale::sectionHeader());
        ThemeBinder::bindTextColor(heading, theme_, &Palette::tertiaryText);
        layout->addWidget(heading);
        for (int i = 0; i < TrafficSummary::listed; ++i) {
            Row row;
            row.widget = new QWidget(this);
            row.widget->setObjectName(rowName);
            auto* line = new QHBoxLayout(row.widget);
            line->setContentsMargins(0, 0, 0, 0);
            line->setSpacing(8);
            row.method = new QLabel(row.widget);
            row.method->setObjectName(QStringLiteral("requestMethod"));
            row.path = new ElidedLabel(QString(), row.widget);
            row.path->setObjectName(QStringLiteral("requestPath"));
            row.status = new QLabel(row.widget);
            row.status->setObjectName(QStringLiteral("requestStatus"));
            row.time = new QLabel(row.widget);
            row.time->setObjectName(QStringLiteral("requestTime"));
            for (QLabel* label : {row.method, row.path, row.status})
                label->setFont(TypeScale::monospaced());
            row.time->setFont(TypeScale::caption());
            row.time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const QFontMetrics mono(TypeScale::monospaced());
            row.method->setFixedWidth(mono.horizontalAdvance(QStringLiteral("DELETE")));
            row.status->setFixedWidth(mono.horizontalAdvance(QStringLiteral("000")));
            row.time->setFixedWidth(
                QFontMetrics(TypeScale::caption()).horizontalAdvance(QStringLiteral("00:00:00 ")));
            ThemeBinder::bindTextColor(row.method, theme_, &Palette::secondaryText);
            ThemeBinder::bindTextColor(row.path, theme_, &Palette::primaryText);
            ThemeBinder::bindTextColor(row.time, theme_, &Palette::secondaryText);
            line->addWidget(row.method);
            line->addWidget(row.path, 1);
            line->addWidget(row.status);
            line->addWidget(row.time);
            row.widget->hide();
            layout->addWidget(row.widget);
            rows_.append(row);
        }
        empty_->setObjectName(rowName + QStringLiteral("Empty"));
        empty_->setFont(TypeScale::caption());
        ThemeBinder::bindTextColor(empty_, theme_, &Palette::tertiaryText);
        layout->addWidget(empty_);
        layout->addStretch(1);
        ThemeBinder::bind(this, theme_, [this](const Palette& p) { applyTones(p); });
    }

    void setRows(const QList<TrafficRequestRow>& rows, const QString& emptyText)
    {
        shown_ = rows;
        for (int i = 0; i < rows_.size(); ++i) {
            const Row& row = rows_[i];
            const bool used = i < rows.size();
            if (used) {
                const TrafficRequestRow& request = rows[i];
                row.method->setText(request.method);
                row.path->setText(request.path);
                row.status->setText(request.status);
                row.time->setText(request.time);
                row.widget->setToolTip(request.detail);
                row.path->setToolTip(request.detail);
            }
            row.widget->setVisible(used);
        }
        empty_->setText(emptyText);
        empty_->setVisible(rows.isEmpty());
        applyTones(theme_.palette());
    }

private:
    struct Row
    {
        QWidget* widget;
        QLabel* method;
        QLabel* path;
        QLabel* status;
        QLabel* time;
    };

    void applyTones(const Palette& p)
    {
        for (int i = 0; i < shown_.size() && i < rows_.size(); ++i)
            setTextColor(rows_[i].status, toneColor(shown_[i].tone, p));
    }

    Theme& theme_;
    QList<Row> rows_;
    QList<TrafficRequestRow> shown_;
    QLabel* empty_;
};

TrafficCard::TrafficCard(Theme& theme, ServerActivity* activity, QWidget* parent)
    : QFrame(parent), theme_(theme), activity_(activity),
      timer_(new OnScreenTimer(this, refreshMillis, [this] { refresh(); })),
      title_(new QLabel(QStringLiteral("Traffic"), this)), windowCaption_(new QLabel(this)),
      empty_(new QLabel(this)), body_(new QWidget(this))
{
    setObjectName(QStringLiteral("trafficCard"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    // The card's style sheet before the children's colours (see DetailsCard).
    ThemeBinder::bind(this, theme_, [this](const Palette& p) {
        OverviewStyle::styleCard(this, p.cardBackground, p);
        update();
    });

    auto* header = new QHBoxLayout;
    title_->setObjectName(QStringLiteral("trafficTitle"));
    title_->setFont(TypeScale::heading());
    ThemeBinder::bindTextColor(title_, theme_, &Palette::primaryText);
    windowCaption_->setObjectName(QStringLiteral("trafficWindow"));
    windowCaption_->setFont(TypeScale::caption());
    ThemeBinder::bindTextColor(windowCaption_, theme_, &Palette::tertiaryText);
    header->addWidget(title_);
    header->addStretch(1);
    header->addWidget(windowCaption_);
    layout->addLayout(header);

    empty_->setObjectName(QStringLiteral("trafficEmpty"));
    empty_->setFont(TypeScale::body());
    ThemeBinder::bindTextColor(empty_, theme_, &Palette::tertiaryText);
    layout->addWidget(empty_);

    auto* body = new QVBoxLayout(body_);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(6);
    auto* figures = new QHBoxLayout;
    figures->setSpacing(24);
    for (int i = 0; i < 4; ++i) {
        auto* column = new QVBoxLayout;
        column->setSpacing(0);
        auto* value = new QLabel(body_);
        value->setFont(figureFont());
        auto* label = new QLabel(body_);
        label->setFont(TypeScale::caption());
        ThemeBinder::bindTextColor(label, theme_, &Palette::secondaryText);
        column->addWidget(value);
        column->addWidget(label);
        figures->addLayout(column);
        figureValues_.append(value);
        figureLabels_.append(label);
    }
    figures->addStretch(1);
    body->addLayout(figures);
    body->addSpacing(4);
    sparkline_ = new TrafficSparkline(theme_, body_);
    body->addWidget(sparkline_);
    historyCaption_ = new QLabel(body_);
    historyCaption_->setObjectName(QStringLiteral("trafficHistory"));
    historyCaption_->setFont(TypeScale::caption());
    ThemeBinder::bindTextColor(historyCaption_, theme_, &Palette::tertiaryText);
    body->addWidget(historyCaption_);
    body->addSpacing(6);
    lists_ = new QBoxLayout(QBoxLayout::LeftToRight);
    lists_->setSpacing(24);
    slowest_ = new TrafficRequestList(theme_, QStringLiteral("Slowest"),
                                      QStringLiteral("trafficSlowestRow"), body_);
    failed_ = new TrafficRequestList(theme_, QStringLiteral("Failed"),
                                     QStringLiteral("trafficFailedRow"), body_);
    lists_->addWidget(slowest_, 1);
    lists_->addWidget(failed_, 1);
    body->addLayout(lists_);
    layout->addWidget(body_);

    // The figures' colours depend on the content: applied again on a change of scheme.
    ThemeBinder::bind(body_, theme_, [this](const Palette& p) {
        for (int i = 0; i < figureValues_.size(); ++i)
            setTextColor(figureValues_[i], i < content_.figures.size() && content_.figures[i].alert
                                               ? p.error
                                               : p.primaryText);
        sparkline_->update();
    });
    apply(trafficCard(TrafficSummary{}));
}

void TrafficCard::refresh()
{
    if (!timer_->onScreen())
        return;
    const qint64 now = activity_->now();
    const qint64 slot = now / stepMs;
    if (activity_->revision() == readRevision_ && slot == readSlot_)
        return;
    readRevision_ = activity_->revision();
    readSlot_ = slot;
    TrafficCardContent next = trafficCard(activity_->traffic());
    if (next == content_)
        return;
    apply(next);
}

void TrafficCard::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // Side by side the paths of a narrow card would be cut to a few letters: the lists stack.
    const bool wide = width() >= stackBelowWidth;
    lists_->setDirection(wide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    lists_->setSpacing(wide ? 24 : 10);
}

void TrafficCard::apply(const TrafficCardContent& content)
{
    content_ = content;
    windowCaption_->setText(content_.empty ? QString() : content_.windowCaption);
    empty_->setText(content_.emptyText);
    empty_->setVisible(content_.empty);
    body_->setVisible(!content_.empty);
    if (content_.empty)
        return;
    const Palette& p = theme_.palette();
    for (int i = 0; i < figureValues_.size(); ++i) {
        const TrafficFigure figure = content_.figures.value(i);
        figureValues_[i]->setText(figure.value);
        figureValues_[i]->setObjectName(QStringLiteral("trafficFigure:") + figure.label);
        figureLabels_[i]->setText(figure.label);
        setTextColor(figureValues_[i], figure.alert ? p.error : p.primaryText);
    }
    sparkline_->setMinutes(content_.perMinute);
    historyCaption_->setText(content_.historyCaption);
    sparkline_->setAccessibleName(content_.historyCaption);
    slowest_->setRows(content_.slowest, content_.slowestEmpty);
    failed_->setRows(content_.failed, content_.failedEmpty);
}
