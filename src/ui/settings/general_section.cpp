#include "ui/settings/general_section.h"

#include "base/product_name.h"
#include "model/app_model.h"
#include "ui/desktop/gui_presence.h"
#include "ui/settings/settings_context.h"
#include "ui/theme/theme.h"
#include "ui/theme/theme_binder.h"
#include "ui/ui_context.h"
#include "ui/widgets/segmented_control.h"
#include "ui/widgets/toggle_switch.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

const QList<AppearanceMode> themeModes{AppearanceMode::system, AppearanceMode::light,
                                       AppearanceMode::dark};

// The raw value with its first letter capitalised: "System", "Light", "Dark".
QString themeLabel(AppearanceMode mode)
{
    const QString raw = rawValue(mode);
    return raw.left(1).toUpper() + raw.mid(1);
}

QStringList themeLabels()
{
    QStringList labels;
    for (const AppearanceMode mode : themeModes)
        labels.append(themeLabel(mode));
    return labels;
}

// A description ends the error line with a full stop of its own.
QString loginFailureText(QString description)
{
    while (description.endsWith(u'.'))
        description.chop(1);
    return QStringLiteral("Couldn't change this: ") + description + u'.';
}

} // namespace

GeneralSection::GeneralSection(SettingsContext& context, QWidget* parent)
    : FormSection(QStringLiteral("General"), context.ui.theme, parent), context_(context),
      theme_(new SegmentedControl(themeLabels())),
      login_(formSwitch(QStringLiteral("loginSwitch"), context.ui.theme)),
      taskbar_(formSwitch(QStringLiteral("taskbarSwitch"), context.ui.theme))
{
    setObjectName(QStringLiteral("generalSection"));
    theme_->setObjectName(QStringLiteral("themeControl"));
    ThemeBinder::bind(theme_, theme(), [this](const Palette& p) { theme_->applyPalette(p); });
    addLabelledRow(QStringLiteral("Theme"), theme_);

    // Under the login switch: the help line, or the error of the last change in its place.
    QVBoxLayout* loginTexts = addLabelledRow(
        QStringLiteral("Open ") + Product::name + QStringLiteral(" at login"), login_);
    QWidget* loginRow = login_->parentWidget();
    loginHelp_ =
        formLabel(QStringLiteral("Starts quietly in the system tray, without opening a window."),
                  theme(), &Palette::secondaryText, loginRow, true);
    loginHelp_->setObjectName(QStringLiteral("loginHelp"));
    loginError_ = formLabel(QString(), theme(), &Palette::error, loginRow, true);
    loginError_->setObjectName(QStringLiteral("loginError"));
    loginError_->setWordWrap(true);
    loginTexts->addWidget(loginHelp_);
    loginTexts->addWidget(loginError_);

    // Wayland gives a window no way to skip the taskbar: the line says what stays.
    addLabelledRow(
        QStringLiteral("Show in the taskbar"), taskbar_,
        QStringLiteral("Turn off to keep ") + Product::name +
            QStringLiteral(" in the system tray only.") +
            (GuiPresence::canSkipTaskbar()
                 ? QString()
                 : QStringLiteral(" On Wayland, open windows keep their taskbar entry.")));

    AppModel* model = &context_.ui.model;
    connect(theme_, &SegmentedControl::activated, this, [model](int index) {
        editSettings(*model, [index](AppSettings& s) { s.appearance = themeModes.value(index); });
    });
    connect(taskbar_, &ToggleSwitch::clicked, this, [model](bool on) {
        editSettings(*model, [on](AppSettings& s) { s.showDockIcon = on; });
    });
    connect(login_, &ToggleSwitch::clicked, this, &GeneralSection::setOpenAtLogin);
    connect(model, &AppModel::settingsChanged, this, &GeneralSection::refresh);
    refresh();
    readLoginStatus();
}

void GeneralSection::refresh()
{
    const AppSettings& settings = context_.ui.model.settings();
    theme_->setCurrentIndex(int(themeModes.indexOf(settings.appearance)));
    taskbar_->setChecked(settings.showDockIcon);
}

void GeneralSection::readLoginStatus()
{
    loginStatus_ = context_.loginItem.status();
    showLoginState();
}

void GeneralSection::setOpenAtLogin(bool on)
{
    loginFailure_.reset();
    LoginItem& item = context_.loginItem;
    if (const std::optional<QString> failure = on ? item.enable() : item.disable())
        loginFailure_ = loginFailureText(*failure);
    // Whatever happened, the switch shows the real state afterwards.
    readLoginStatus();
}

void GeneralSection::showLoginState()
{
    login_->setChecked(loginStatus_ == LoginItemStatus::enabled);
    loginError_->setText(loginFailure_.value_or(QString()));
    loginError_->setVisible(loginFailure_.has_value());
    loginHelp_->setVisible(!loginFailure_);
}
