#pragma once

#include "desktop/external_app.h"

#include <QComboBox>

#include <optional>

struct Palette;

// Chooses the terminal or editor to open projects with: "Automatic" (naming what automatic
// choice would pick), the installed applications, an application chosen by path, and "Other…"
// to choose another one. Each entry's data is the selection text it stands for.
class AppPicker : public QComboBox
{
    Q_OBJECT

public:
    // The tag of "Other…": not a selection, it asks for a program instead.
    static inline const QString otherTag = QStringLiteral("__other__");

    AppPicker(AppKind kind, QWidget* parent = nullptr);

    // Rebuilds the entries and shows `selection` as the current one.
    void setEntries(const QList<ExternalApp>& installed, const QString& selection,
                    const std::optional<QString>& automatic, const Palette& palette);
    // The tags of the entries, in order (dividers are empty).
    QStringList tags() const;

signals:
    // The user picked an entry other than "Other…"; `tag` is the new selection.
    void selectionPicked(const QString& tag);
    // The user picked "Other…".
    void otherRequested();

private:
    QIcon appIcon(const QString& program, const Palette& palette) const;

    AppKind kind_;
};
