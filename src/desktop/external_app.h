#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A terminal or code editor the user can open project folders in.
struct ExternalApp
{
    // A catalogue identifier (kept from the original catalogue, it is what "settings.json"
    // stores), or the absolute path of an executable chosen by hand.
    QString id;
    QString name; // display name
    QString url;  // absolute path of the executable that is started

    friend bool operator==(const ExternalApp&, const ExternalApp&) = default;
};

enum class AppKind { terminal, editor };

// One known application and the executables that stand for it on Linux, in order of
// preference. An entry without executables (an application that does not exist on Linux)
// is never detected but keeps its identifier known.
struct CatalogueEntry
{
    QString id;
    QString name;
    QStringList executables;
};

// The known terminals and editors, in the order in which automatic choice prefers them.
const QList<CatalogueEntry>& terminalCatalogue();
const QList<CatalogueEntry>& editorCatalogue();
const QList<CatalogueEntry>& catalogue(AppKind kind);
