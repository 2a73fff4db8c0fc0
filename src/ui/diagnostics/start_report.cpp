#include "ui/diagnostics/start_report.h"

#include "model/app_model.h"
#include "discovery/dev_command.h"
#include "runs/project_runtime.h"

#include <QSaveFile>

namespace {

QString statusText(const ProjectStatus& status)
{
    switch (status.kind()) {
    case ProjectStatus::Kind::stopped: return QStringLiteral("Stopped");
    case ProjectStatus::Kind::starting: return QStringLiteral("Starting…");
    case ProjectStatus::Kind::running: return QStringLiteral("Running");
    case ProjectStatus::Kind::error: return QStringLiteral("Error: ") + status.message();
    }
    return {};
}

} // namespace

QString startReport(AppModel& model, const QString& path)
{
    const auto project = model.findProject(path);
    const ProjectInfo* info = model.infoFor(path);
    const RunModeKind mode = project ? effectiveMode(*project, info) : RunModeKind::wrangler;
    const ProjectRuntime* runtime = model.runtimeFor(path);

    QStringList lines;
    lines << QStringLiteral("mode: ") + label(mode);
    lines << QStringLiteral("status: ") + statusText(runtime->status());
    lines << QStringLiteral("url: ") +
                 (runtime->url() ? runtime->url()->toString() : QStringLiteral("nil"));

    QString base = runtime->url() ? runtime->url()->toString() : QStringLiteral("http://none");
    if (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    QStringList links;
    for (const ProjectLink& link : model.projectLinks(path))
        links << QLatin1Char('"') + base + link.path + QLatin1Char('"');
    lines << QStringLiteral("links: [") + links.join(QStringLiteral(", ")) + QLatin1Char(']');

    lines << QStringLiteral("--- log");
    const QList<LogLine>& log = runtime->log()->lines();
    for (qsizetype i = qMax<qsizetype>(0, log.size() - 25); i < log.size(); ++i)
        lines << log[i].text;
    return lines.join(QLatin1Char('\n'));
}

void writeReport(const QString& file, const QString& text)
{
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(text.toUtf8());
        out.commit();
    }
}
