#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringList>

#include <unistd.h>

// The web engine's helper processes (QtWebEngineProcess) that descend from this process and
// have not ended, by their type ("renderer", "zygote", ...). Zombies have ended. A renderer
// forked by a zygote keeps the zygote's command line, so a helper whose parent is a helper
// counts as a renderer.
inline QStringList webEngineProcesses()
{
    struct Entry
    {
        qint64 parent = 0;
        QString type;
        bool engine = false;
    };
    QHash<qint64, Entry> table;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/") + name + QStringLiteral("/stat"));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[0] == "Z" || fields[0] == "X")
            continue;
        Entry entry;
        entry.parent = fields[1].toLongLong();
        QFile cmdline(QStringLiteral("/proc/") + name + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QByteArray arguments = cmdline.readAll();
            entry.engine = arguments.contains("QtWebEngineProcess");
            const qsizetype type = arguments.indexOf("--type=");
            if (type >= 0)
                entry.type = QString::fromUtf8(arguments.mid(type + 7).split('\0').first());
        }
        table.insert(pid, entry);
    }
    const qint64 self = ::getpid();
    QStringList found;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (!it->engine)
            continue;
        for (qint64 up = it->parent; up > 1 && table.contains(up); up = table[up].parent) {
            if (up == self) {
                const bool forked = table.value(it->parent).engine;
                found.append(forked ? QStringLiteral("renderer") : it->type);
                break;
            }
        }
    }
    return found;
}
