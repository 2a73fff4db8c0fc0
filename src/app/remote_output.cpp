#include "app/remote_output.h"

#include <QJsonDocument>
#include <QLocale>
#include <QStringList>

#include <array>
#include <cstdio>

namespace {

QString memoryText(const QJsonObject& project)
{
    const QJsonValue bytes = project.value(QStringLiteral("memoryBytes"));
    if (!bytes.isDouble())
        return {};
    return QLocale().formattedDataSize(qint64(bytes.toDouble()), 1,
                                       QLocale::DataSizeTraditionalFormat);
}

QString cpuText(const QJsonObject& project)
{
    const QJsonValue percent = project.value(QStringLiteral("cpuPercent"));
    return percent.isDouble() ? QString::number(percent.toDouble(), 'f', 1) + u'%' : QString();
}

QString pidText(const QJsonObject& project)
{
    const QJsonValue pid = project.value(QStringLiteral("pid"));
    return pid.isDouble() ? QString::number(qint64(pid.toDouble())) : QString();
}

QString startedText(const QJsonObject& project)
{
    const QString status = project.value(QStringLiteral("status")).toString();
    if (status != u"running" && status != u"starting")
        return {};
    return project.value(QStringLiteral("external")).toBool() ? QStringLiteral("outside")
                                                              : QStringLiteral("here");
}

} // namespace

void printStatus(const QJsonArray& projects, bool json)
{
    if (json) {
        const QJsonObject document{{QStringLiteral("version"), ControlProtocol::version},
                                   {QStringLiteral("projects"), projects}};
        std::fputs(QJsonDocument(document).toJson(QJsonDocument::Indented).constData(), stdout);
        return;
    }
    if (projects.isEmpty()) {
        std::puts("No projects yet");
        return;
    }
    using Row = std::array<QString, 7>;
    QList<Row> rows{{QStringLiteral("NAME"), QStringLiteral("STATUS"), QStringLiteral("ADDRESS"),
                     QStringLiteral("PID"), QStringLiteral("MEMORY"), QStringLiteral("CPU"),
                     QStringLiteral("STARTED")}};
    for (const QJsonValue value : projects) {
        const QJsonObject project = value.toObject();
        // The Wrangler environment, when one is chosen, follows the name.
        QString name = project.value(QStringLiteral("name")).toString();
        if (const QString environment = project.value(QStringLiteral("environment")).toString();
            !environment.isEmpty())
            name += QStringLiteral(" (") + environment + u')';
        rows.append({name, project.value(QStringLiteral("status")).toString(),
                     project.value(QStringLiteral("address")).toString(), pidText(project),
                     memoryText(project), cpuText(project), startedText(project)});
    }
    std::array<qsizetype, 7> widths{};
    for (const Row& row : std::as_const(rows))
        for (size_t column = 0; column < widths.size(); ++column)
            widths[column] = qMax(widths[column], row[column].size());
    for (const Row& row : std::as_const(rows)) {
        QString line;
        for (size_t column = 0; column < row.size(); ++column) {
            const bool last = column + 1 == row.size();
            line += last ? row[column] : row[column].leftJustified(widths[column] + 2);
        }
        while (line.endsWith(u' '))
            line.chop(1);
        std::puts(qPrintable(line));
    }
}

void printNames(const QJsonArray& projects)
{
    for (const QJsonValue project : projects)
        std::puts(qPrintable(project.toObject().value(QStringLiteral("name")).toString()));
}

bool printResults(ControlCommand command, const QJsonArray& results)
{
    bool allOk = true;
    for (const QJsonValue value : results) {
        const QJsonObject result = value.toObject();
        const QString name = result.value(QStringLiteral("name")).toString();
        if (!result.value(QStringLiteral("ok")).toBool()) {
            allOk = false;
            if (result.contains(QStringLiteral("confirm"))) {
                std::fprintf(stderr, "%s\nRun again with --yes to %s it.\n",
                             qPrintable(result.value(QStringLiteral("confirm")).toString()),
                             qPrintable(rawValue(command)));
            } else {
                std::fprintf(stderr, "tallowmere: %s: %s\n", qPrintable(name),
                             qPrintable(result.value(QStringLiteral("error")).toString()));
            }
            continue;
        }
        const QString status = result.value(QStringLiteral("status")).toString();
        const QString address = result.value(QStringLiteral("address")).toString();
        if (address.isEmpty())
            std::printf("%s: %s\n", qPrintable(name), qPrintable(status));
        else
            std::printf("%s: %s at %s\n", qPrintable(name), qPrintable(status),
                        qPrintable(address));
    }
    return allOk;
}

void printLogLine(const QJsonObject& message)
{
    const QByteArray text = message.value(QStringLiteral("line")).toString().toUtf8() + '\n';
    std::FILE* stream = message.value(QStringLiteral("stderr")).toBool() ? stderr : stdout;
    std::fwrite(text.constData(), 1, size_t(text.size()), stream);
    std::fflush(stream);
}

void printLogEnd(const QJsonObject& answer, bool followed)
{
    if (!followed)
        return;
    const QString message = answer.value(QStringLiteral("message")).toString();
    std::fprintf(stderr, "tallowmere: the server is %s%s\n",
                 qPrintable(answer.value(QStringLiteral("status")).toString()),
                 message.isEmpty() ? "" : qPrintable(QStringLiteral(": ") + message));
}
