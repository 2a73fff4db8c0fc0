#include "model/app_model.h"
#include "ui/add_actions.h"
#include "ui/settings/settings_context.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

// A file dialog whose Choose button also takes a folder: the selected entry, or the folder
// shown when nothing is selected. Double-clicking a folder still opens it.
class FileOrFolderDialog : public QFileDialog
{
public:
    FileOrFolderDialog(QWidget* parent, const QString& message, SettingsChoosers::Chosen chosen)
        : QFileDialog(parent, message), chosen_(std::move(chosen))
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::ExistingFile);
        setLabelText(QFileDialog::Accept, QStringLiteral("Choose"));
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        const QString path = files.isEmpty() ? directory().absolutePath() : files.first();
        if (!QFileInfo::exists(path))
            return;
        chosen_(path);
        done(QDialog::Accepted);
    }

private:
    SettingsChoosers::Chosen chosen_;
};

QFileDialog* windowModal(QFileDialog* dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    return dialog;
}

} // namespace

SettingsChoosers SettingsChoosers::dialogs()
{
    SettingsChoosers choosers;
    choosers.folder = [](QWidget* parent, const QString& prompt, const QString& message,
                         const Chosen& chosen) {
        AddActions::chooseFolderWithDialog(parent, prompt, message, chosen);
    };
    choosers.nodePath = [](QWidget* parent, Chosen chosen) {
        windowModal(new FileOrFolderDialog(
                        parent, QStringLiteral("Choose the node binary or its bin folder"),
                        std::move(chosen)))
            ->open();
    };
    choosers.application = [](QWidget* parent, Chosen chosen) {
        QFileDialog* dialog = windowModal(new QFileDialog(parent, QStringLiteral("Choose")));
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setDirectory(QStringLiteral("/usr/bin"));
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Choose"));
        QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                         [chosen = std::move(chosen)](const QString& file) {
                             // Only a program can open a folder.
                             const QFileInfo info(file);
                             if (info.isFile() && info.isExecutable())
                                 chosen(info.absoluteFilePath());
                         });
        dialog->open();
    };
    return choosers;
}

void editSettings(AppModel& model, const std::function<void(AppSettings&)>& edit)
{
    AppSettings settings = model.settings();
    edit(settings);
    model.setSettings(settings);
}
