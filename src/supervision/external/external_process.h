#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// A dev server found in the process table, started outside the application: every matched
// `workerd` of one project and the launcher processes above it, and the port taken as its
// address.
struct ExternalProcess
{
    QList<qint32> pids; // ascending, without duplicates
    std::optional<int> port;

    friend bool operator==(const ExternalProcess&, const ExternalProcess&) = default;
};

// Project path -> its external server. A project without an entry has none.
using ExternalScan = QHash<QString, ExternalProcess>;

// Names of the processes that may launch a Workers runtime ("workerd" itself, the JavaScript
// runtimes and the package managers). Exact and case-sensitive.
const QSet<QString>& runtimeProcessNames();
