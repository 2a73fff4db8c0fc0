#include "ui/detail/overview/problem_banners.h"

#include "model/app_model.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/project_actions.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* text(const QString& content, const QFont& font, Theme& theme,
             ThemeBinder::PaletteColor color, QWidget* parent)
{
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ThemeBinder::bindTextColor(label, theme, color);
    return label;
}

QFont semibold()
{
    QFont font = TypeScale::body();
    font.setWeight(QFont::DemiBold);
    return font;
}

// An icon in a colour of the palette (amber warnings use `starting`).
IconView* icon(const QString& name, Theme& theme, ThemeBinder::PaletteColor color, QWidget* parent)
{
    auto* view = new IconView(name, 16, parent);
    ThemeBinder::bind(view, theme, [view, color](const Palette& p) { view->setColor(p.*color); });
    return view;
}

// A warning card: the icon at the left, the content beside it.
QWidget* bannerFrame(const QString& objectName, IconView* iconView, Theme& theme,
                     QVBoxLayout*& content, QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(objectName);
    ThemeBinder::bind(frame, theme, [frame](const Palette& p) {
        OverviewStyle::styleCard(frame, p.logBackground, p);
    });
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(14, 12, 14, 12);
    row->setSpacing(10);
    iconView->setParent(frame);
    row->addWidget(iconView, 0, Qt::AlignTop);
    content = new QVBoxLayout;
    content->setSpacing(6);
    row->addLayout(content, 1);
    return frame;
}

QPushButton* button(const QString& title, const QString& objectName, ButtonStyle style,
                    const QString& icon, Theme& theme, QWidget* parent)
{
    auto* b = new QPushButton(title, parent);
    b->setObjectName(objectName);
    b->setFont(TypeScale::bodyMedium());
    ThemeBinder::bind(b, theme,
                      [b, style, icon](const Palette& p) { styleButton(b, style, p, icon); });
    return b;
}

} // namespace

ProblemBanners::ProblemBanners(UiContext& ui, const QString& projectID, QWidget* parent)
    : QWidget(parent), ui_(ui), projectID_(projectID), layout_(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("problemBanners"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(10);
}

void ProblemBanners::setProblems(const OverviewProblems& problems)
{
    if (built_ && problems == problems_)
        return;
    problems_ = problems;
    rebuild();
}

void ProblemBanners::rebuild()
{
    built_ = true;
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    // Shown at once: a layout would show them only on the next pass of the event loop.
    const auto add = [this](QWidget* widget) {
        layout_->addWidget(widget);
        widget->show();
    };
    if (problems_.parseError)
        add(line(QStringLiteral("parseErrorLine"), QStringLiteral("triangle-alert"),
                 &Palette::starting, *problems_.parseError));
    if (problems_.install)
        add(dependenciesBanner(*problems_.install));
    if (problems_.errorMessage)
        add(line(QStringLiteral("errorLine"), QStringLiteral("circle-x"), &Palette::error,
                 *problems_.errorMessage));
    if (problems_.portConflict)
        add(portConflictBanner(*problems_.portConflict));
    for (const DisconnectedService& service : std::as_const(problems_.disconnected))
        add(disconnectedLine(service));
    setVisible(layout_->count() > 0);
}

QWidget* ProblemBanners::line(const QString& objectName, const QString& iconName,
                              ThemeBinder::PaletteColor color, const QString& message)
{
    auto* row = new QWidget(this);
    row->setObjectName(objectName);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(icon(iconName, ui_.theme, color, row), 0, Qt::AlignTop);
    QLabel* label = text(message, TypeScale::bodyMedium(), ui_.theme, &Palette::primaryText, row);
    label->setObjectName(objectName + QStringLiteral("Text"));
    layout->addWidget(label, 1);
    return row;
}

QWidget* ProblemBanners::dependenciesBanner(const InstallHint& hint)
{
    Theme& theme = ui_.theme;
    QVBoxLayout* content = nullptr;
    QWidget* frame =
        bannerFrame(QStringLiteral("dependenciesBanner"),
                    icon(QStringLiteral("triangle-alert"), theme, &Palette::starting, this), theme,
                    content, this);
    content->addWidget(text(QStringLiteral("Dependencies not installed"), semibold(), theme,
                            &Palette::primaryText, frame));

    auto* instruction = new QHBoxLayout;
    instruction->setSpacing(6);
    instruction->addWidget(
        text(QStringLiteral("Run"), TypeScale::body(), theme, &Palette::secondaryText, frame));
    QLabel* command =
        text(hint.command, TypeScale::monospaced(), theme, &Palette::primaryText, frame);
    command->setObjectName(QStringLiteral("installCommand"));
    command->setWordWrap(false);
    instruction->addWidget(command);
    QLabel* where =
        text(QStringLiteral("in ") + hint.folder + QStringLiteral(", then start the project."),
             TypeScale::body(), theme, &Palette::secondaryText, frame);
    where->setObjectName(QStringLiteral("installFolder"));
    instruction->addWidget(where, 1);
    content->addLayout(instruction);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    QPushButton* copy = button(QStringLiteral("Copy command"), QStringLiteral("copyInstallCommand"),
                               ButtonStyle::secondary, QStringLiteral("copy"), theme, frame);
    QPushButton* terminal =
        button(problems_.terminalTitle, QStringLiteral("openInstallTerminal"),
               ButtonStyle::secondary, QStringLiteral("terminal"), theme, frame);
    buttons->addWidget(copy);
    buttons->addWidget(terminal);
    buttons->addStretch(1);
    content->addLayout(buttons);

    const QString installCommand = hint.command;
    connect(copy, &QPushButton::clicked, this,
            [installCommand] { QGuiApplication::clipboard()->setText(installCommand); });
    UiContext* ui = &ui_;
    const QString id = projectID_;
    connect(terminal, &QPushButton::clicked, this,
            [ui, id] { ProjectActions::openInTerminal(*ui, id); });
    return frame;
}

QWidget* ProblemBanners::portConflictBanner(const PortConflict& conflict)
{
    Theme& theme = ui_.theme;
    QVBoxLayout* content = nullptr;
    QWidget* frame = bannerFrame(QStringLiteral("portConflictBanner"),
                                 icon(QStringLiteral("circle-x"), theme, &Palette::error, this),
                                 theme, content, this);
    content->addWidget(text(QStringLiteral("Port ") + QString::number(conflict.port) +
                                QStringLiteral(" is already in use"),
                            semibold(), theme, &Palette::primaryText, frame));
    const bool ownedByProject = conflict.ownerID && conflict.ownerName;
    QLabel* explanation = text(
        ownedByProject ? *conflict.ownerName +
                             QStringLiteral(" is using it. Stop it, or start this project on a "
                                            "different port.")
                       : QStringLiteral("Another program is using it. Close it, or start this "
                                        "project on a different port."),
        TypeScale::body(), theme, &Palette::secondaryText, frame);
    explanation->setObjectName(QStringLiteral("portConflictExplanation"));
    content->addWidget(explanation);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    AppModel* model = &ui_.model;
    const QString id = projectID_;
    QPushButton* freePort =
        button(QStringLiteral("Start on a free port"), QStringLiteral("startOnFreePort"),
               ButtonStyle::primary, QString(), theme, frame);
    connect(freePort, &QPushButton::clicked, this, [model, id] { model->startOnFreePort(id); });
    buttons->addWidget(freePort);
    if (ownedByProject) {
        const QString owner = *conflict.ownerID;
        QPushButton* show = button(QStringLiteral("Show ") + *conflict.ownerName,
                                   QStringLiteral("showConflictOwner"), ButtonStyle::secondary,
                                   QString(), theme, frame);
        connect(show, &QPushButton::clicked, this, [model, owner] { model->select(owner); });
        buttons->addWidget(show);
    }
    buttons->addStretch(1);
    content->addLayout(buttons);
    return frame;
}

QWidget* ProblemBanners::disconnectedLine(const DisconnectedService& service)
{
    QWidget* row = line(QStringLiteral("disconnectedLine"), QStringLiteral("plug"),
                        &Palette::starting, disconnectedText(service));
    row->setProperty("worker", service.worker);
    if (service.project) {
        QPushButton* start = button(QStringLiteral("Start ") + service.project->displayName,
                                    QStringLiteral("startMissingService"), ButtonStyle::secondary,
                                    QStringLiteral("play"), ui_.theme, row);
        AppModel* model = &ui_.model;
        const QString id = service.project->projectID;
        connect(start, &QPushButton::clicked, this, [model, id] { model->startProject(id); });
        static_cast<QHBoxLayout*>(row->layout())->addWidget(start, 0, Qt::AlignVCenter);
    }
    return row;
}
