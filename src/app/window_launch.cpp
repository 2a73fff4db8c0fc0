#include "app/window_launch.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

QString windowExecutable()
{
    const QString folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
    for (const QString& candidate :
         {folder + QStringLiteral("/tallowmere-gui"),
          folder + QStringLiteral("/../libexec/tallowmere/tallowmere-gui")})
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    return folder + QStringLiteral("/tallowmere-gui");
}

} // namespace

int launchWindow(char** argv)
{
    const QByteArray program = QFile::encodeName(windowExecutable());
    ::execv(program.constData(), argv);
    std::fprintf(stderr, "tallowmere: cannot start %s: %s\n", program.constData(),
                 std::strerror(errno));
    return 1;
}
