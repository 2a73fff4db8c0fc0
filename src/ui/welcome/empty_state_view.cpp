#include "ui/welcome/empty_state_view.h"

#include "ui/about/product.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/theme/type_scale.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/icon_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Note
{
    const char* icon;
    QString text;
};

} // namespace

EmptyStateView::EmptyStateView(Theme& theme, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("emptyStateView"));

    auto* outer = new QVBoxLayout(this);
    outer->addStretch(1);
    // A fixed column: the description wraps inside it instead of being cut at its edge.
    auto* column = new QWidget(this);
    column->setObjectName(QStringLiteral("welcomeColumn"));
    column->setFixedWidth(440);
    auto* layout = new QVBoxLayout(column);
    layout->setSpacing(12);

    auto* cloud = new IconView(QStringLiteral("cloud"), 28, column);
    cloud->setObjectName(QStringLiteral("welcomeIcon"));
    ThemeBinder::bind(cloud, theme, [cloud](const Palette& p) { cloud->setColor(p.accent); });
    layout->addWidget(cloud, 0, Qt::AlignHCenter);

    auto* title = new QLabel(QStringLiteral("Add your Workers"), column);
    title->setObjectName(QStringLiteral("welcomeTitle"));
    title->setFont(TypeScale::emptyStateTitle());
    title->setAlignment(Qt::AlignHCenter);
    ThemeBinder::bindTextColor(title, theme, &Palette::primaryText);
    layout->addWidget(title);

    auto* text = new QLabel(
        QStringLiteral(
            "Choose a folder that contains your Wrangler projects, for example ~/Sites.\n") +
            Product::name + QStringLiteral(" finds them all and keeps them in one place."),
        column);
    text->setObjectName(QStringLiteral("welcomeText"));
    text->setFont(TypeScale::body());
    text->setAlignment(Qt::AlignHCenter);
    text->setWordWrap(true);
    ThemeBinder::bindTextColor(text, theme, &Palette::secondaryText);
    layout->addWidget(text);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch();
    auto* addRoot = new QPushButton(QStringLiteral("Add Root Folder"), column);
    addRoot->setObjectName(QStringLiteral("welcomeAddRoot"));
    auto* addProject = new QPushButton(QStringLiteral("Add Single Project"), column);
    addProject->setObjectName(QStringLiteral("welcomeAddProject"));
    connect(addRoot, &QPushButton::clicked, this, &EmptyStateView::addRootRequested);
    connect(addProject, &QPushButton::clicked, this, &EmptyStateView::addProjectRequested);
    ThemeBinder::bind(addRoot, theme, [addRoot](const Palette& p) {
        styleButton(addRoot, ButtonStyle::primary, p, QStringLiteral("folder-plus"));
    });
    ThemeBinder::bind(addProject, theme, [addProject](const Palette& p) {
        styleButton(addProject, ButtonStyle::secondary, p, QStringLiteral("plus"));
    });
    buttons->addWidget(addRoot);
    buttons->addWidget(addProject);
    buttons->addStretch();
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->addSpacing(14);

    const Note notes[] = {
        {"eye", QStringLiteral("Reads your project folders to find wrangler configs.")},
        {"shield-check", QStringLiteral("Never changes your files, and never installs anything.")},
        {"cloud", QStringLiteral("Everything stays on your computer.")},
    };
    auto* noteBox = new QVBoxLayout;
    noteBox->setSpacing(8);
    for (const Note& note : notes) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* icon = new IconView(QString::fromLatin1(note.icon), 14, column);
        icon->setObjectName(QStringLiteral("welcomeNoteIcon"));
        auto* label = new QLabel(note.text, column);
        label->setObjectName(QStringLiteral("welcomeNote"));
        label->setFont(TypeScale::caption());
        ThemeBinder::bindColor(icon, QPalette::WindowText, theme, &Palette::secondaryText);
        ThemeBinder::bindTextColor(label, theme, &Palette::secondaryText);
        row->addWidget(icon);
        row->addWidget(label, 1);
        noteBox->addLayout(row);
    }
    auto* noteHolder = new QHBoxLayout;
    noteHolder->addStretch();
    noteHolder->addLayout(noteBox);
    noteHolder->addStretch();
    layout->addLayout(noteHolder);

    auto* centre = new QHBoxLayout;
    centre->addStretch();
    centre->addWidget(column);
    centre->addStretch();
    outer->addLayout(centre);
    outer->addStretch(1);
}
