#include "base/paths.h"

#include <QDir>
#include <QStringList>

#include <pwd.h>

namespace {

// "~" -> home, "~/x" -> home/x, "~user/x" -> user's home/x; anything else unchanged.
QString expandTilde(const QString& path)
{
    if (!path.startsWith(u'~'))
        return path;
    const qsizetype slash = path.indexOf(u'/');
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (user.isEmpty())
        return QDir::homePath() + rest;
    const passwd* entry = ::getpwnam(user.toLocal8Bit().constData());
    if (!entry || !entry->pw_dir)
        return path; // an unknown user: leave the text as it stands
    return QString::fromLocal8Bit(entry->pw_dir) + rest;
}

} // namespace

QString standardizePath(const QString& input)
{
    QString path = expandTilde(input);
    if (path.isEmpty())
        return path;
    const bool absolute = path.startsWith(u'/');
    QStringList kept;
    for (const QString& piece : path.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u".")
            continue;
        if (piece == u"..") {
            if (!kept.isEmpty() && kept.constLast() != u"..")
                kept.removeLast();
            else if (!absolute)
                kept.append(piece); // a relative path may climb above its start
            continue;               // "/.." is "/"
        }
        kept.append(piece);
    }
    const QString joined = kept.join(u'/');
    if (absolute)
        return u'/' + joined;
    return joined.isEmpty() ? QStringLiteral(".") : joined;
}

QString lastPathComponent(const QString& path)
{
    if (path == u"/")
        return path;
    const QString trimmed = path.endsWith(u'/') ? path.chopped(1) : path;
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}
