#include "ui/detail/overview/problem_banners.h"

#include "core/model/app_model.h"
#include "ui/detail/overview/overview_style.h"
#include "ui/project_actions.h"
#include "ui/theme/theme.h"
#include "ui/theme/type_scale.h"
#include "ui/ui_context.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QColor amber(QStringLiteral("#F59E0B"));

QLabel* text(const QString& content, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    OverviewStyle::setTextColor(label, color);
    return label;
}

QFont semibold()
{
    QFont font = TypeScale::body();
    font.setWeight(QFont::DemiBold);
    return font;
}

// A warning card: the icon at the left, the content beside it.
QWidget* bannerFrame(const QString& objectName, const QString& icon, const QColor& iconColor,
                     const Palette& p, QVBoxLayout*& content, QWidget* parent)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(objectName);
    OverviewStyle::styleCard(frame, p.logBackground, p);
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(14, 12, 14, 12);
    row->setSpacing(10);
    auto* iconView = new IconView(icon, 16, frame);
    iconView->setColor(iconColor);
    row->addWidget(iconView, 0, Qt::AlignTop);
    content = new QVBoxLayout;
    content->setSpacing(6);
    row->addLayout(content, 1);
    return frame;
}

QPushButton* button(const QString& title, const QString& objectName, ButtonStyle style,
                    const QString& icon, const Palette& p, QWidget* parent)
{
    auto* b = new QPushButton(title, parent);
    b->setObjectName(objectName);
    b->setFont(TypeScale::bodyMedium());
    styleButton(b, style, p, icon);
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

void ProblemBanners::applyPalette()
{
    rebuild();
}

void ProblemBanners::rebuild()
{
    built_ = true;
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const Palette& p = ui_.theme.palette();
    // Shown at once: a layout would show them only on the next pass of the event loop.
    const auto add = [this](QWidget* widget) {
        layout_->addWidget(widget);
        widget->show();
    };
    if (problems_.parseError)
        add(line(QStringLiteral("parseErrorLine"), QStringLiteral("triangle-alert"), amber,
                 *problems_.parseError));
    if (problems_.install)
        add(dependenciesBanner(*problems_.install));
    if (problems_.errorMessage)
        add(line(QStringLiteral("errorLine"), QStringLiteral("circle-x"), p.error,
                 *problems_.errorMessage));
    if (problems_.portConflict)
        add(portConflictBanner(*problems_.portConflict));
    setVisible(layout_->count() > 0);
}

QWidget* ProblemBanners::line(const QString& objectName, const QString& icon, const QColor& color,
                              const QString& message)
{
    auto* row = new QWidget(this);
    row->setObjectName(objectName);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* iconView = new IconView(icon, 16, row);
    iconView->setColor(color);
    layout->addWidget(iconView, 0, Qt::AlignTop);
    QLabel* label = text(message, TypeScale::bodyMedium(), ui_.theme.palette().primaryText, row);
    label->setObjectName(objectName + QStringLiteral("Text"));
    layout->addWidget(label, 1);
    return row;
}

QWidget* ProblemBanners::dependenciesBanner(const InstallHint& hint)
{
    const Palette& p = ui_.theme.palette();
    QVBoxLayout* content = nullptr;
    QWidget* frame = bannerFrame(QStringLiteral("dependenciesBanner"),
                                 QStringLiteral("triangle-alert"), amber, p, content, this);
    content->addWidget(
        text(QStringLiteral("Dependencies not installed"), semibold(), p.primaryText, frame));

    auto* instruction = new QHBoxLayout;
    instruction->setSpacing(6);
    instruction->addWidget(text(QStringLiteral("Run"), TypeScale::body(), p.secondaryText, frame));
    QLabel* command = text(hint.command, TypeScale::monospaced(), p.primaryText, frame);
    command->setObjectName(QStringLiteral("installCommand"));
    command->setWordWrap(false);
    instruction->addWidget(command);
    QLabel* where =
        text(QStringLiteral("in ") + hint.folder + QStringLiteral(", then start the project."),
             TypeScale::body(), p.secondaryText, frame);
    where->setObjectName(QStringLiteral("installFolder"));
    instruction->addWidget(where, 1);
    content->addLayout(instruction);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    QPushButton* copy = button(QStringLiteral("Copy command"), QStringLiteral("copyInstallCommand"),
                               ButtonStyle::secondary, QStringLiteral("copy"), p, frame);
    QPushButton* terminal = button(problems_.terminalTitle, QStringLiteral("openInstallTerminal"),
                                   ButtonStyle::secondary, QStringLiteral("terminal"), p, frame);
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
    const Palette& p = ui_.theme.palette();
    QVBoxLayout* content = nullptr;
    QWidget* frame = bannerFrame(QStringLiteral("portConflictBanner"), QStringLiteral("circle-x"),
                                 p.error, p, content, this);
    content->addWidget(text(QStringLiteral("Port ") + QString::number(conflict.port) +
                                QStringLiteral(" is already in use"),
                            semibold(), p.primaryText, frame));
    const bool ownedByProject = conflict.ownerID && conflict.ownerName;
    QLabel* explanation = text(
        ownedByProject ? *conflict.ownerName +
                             QStringLiteral(" is using it. Stop it, or start this project on a "
                                            "different port.")
                       : QStringLiteral("Another program is using it. Close it, or start this "
                                        "project on a different port."),
        TypeScale::body(), p.secondaryText, frame);
    explanation->setObjectName(QStringLiteral("portConflictExplanation"));
    content->addWidget(explanation);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    AppModel* model = &ui_.model;
    const QString id = projectID_;
    QPushButton* freePort =
        button(QStringLiteral("Start on a free port"), QStringLiteral("startOnFreePort"),
               ButtonStyle::primary, QString(), p, frame);
    connect(freePort, &QPushButton::clicked, this, [model, id] { model->startOnFreePort(id); });
    buttons->addWidget(freePort);
    if (ownedByProject) {
        const QString owner = *conflict.ownerID;
        QPushButton* show = button(QStringLiteral("Show ") + *conflict.ownerName,
                                   QStringLiteral("showConflictOwner"), ButtonStyle::secondary,
                                   QString(), p, frame);
        // Selecting another project deletes this view: not from inside its own click.
        connect(show, &QPushButton::clicked, this, [model, owner] {
            QTimer::singleShot(0, model, [model, owner] { model->select(owner); });
        });
        buttons->addWidget(show);
    }
    buttons->addStretch(1);
    content->addLayout(buttons);
    return frame;
}
