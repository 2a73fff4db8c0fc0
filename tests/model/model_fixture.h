#pragma once

#include "model/app_model.h"
#include "storage/registry_file.h"
#include "storage/storage.h"
#include "support/fake_desktop.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <memory>

// A model on a temporary support folder, with scripted desktop fakes and real project trees
// under a temporary "sites" folder. The support folder reaches the storage code through
// TALLOWMERE_SUPPORT_DIR, the way the application is pointed at a data folder.
class ModelTest : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("TALLOWMERE_SUPPORT_DIR", support.path().toUtf8()); }
    void TearDown() override { qunsetenv("TALLOWMERE_SUPPORT_DIR"); }

    AppModelContext context(const QMap<QString, QString>& extraEnvironment = {})
    {
        AppModelContext context;
        context.environment = {{QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")},
                               {QStringLiteral("HOME"), support.path()}};
        for (auto it = extraEnvironment.begin(); it != extraEnvironment.end(); ++it)
            context.environment.insert(it.key(), it.value());
        context.desktop = desktop.services();
        context.selectionRepairDelay = std::chrono::milliseconds(0);
        return context;
    }

    std::unique_ptr<AppModel> makeModel(const QMap<QString, QString>& extraEnvironment = {})
    {
        return std::make_unique<AppModel>(context(extraEnvironment));
    }

    // A project folder under sites/ with a Wrangler configuration naming the worker (no name
    // key when `workerName` is empty). Returns the folder.
    QString makeProject(const QString& relative, const QString& workerName = {},
                        const QString& file = QStringLiteral("wrangler.toml"))
    {
        QByteArray body;
        if (file.endsWith(QStringLiteral(".toml")))
            body = workerName.isEmpty() ? QByteArray("main = \"src/index.ts\"\n")
                                        : "name = \"" + workerName.toUtf8() + "\"\n";
        else
            body = workerName.isEmpty() ? QByteArray("{}")
                                        : "{\"name\": \"" + workerName.toUtf8() + "\"}";
        sites.write(relative + u'/' + file, body);
        return sites.filePath(relative);
    }

    static Project project(const QString& path, const QString& name,
                           std::optional<QString> root = std::nullopt)
    {
        Project project;
        project.path = path;
        project.configFile = QStringLiteral("wrangler.toml");
        project.name = name;
        project.rootPath = std::move(root);
        return project;
    }

    // The registry as it stands in the support folder.
    QJsonObject savedRegistry() const
    {
        return QJsonDocument::fromJson(
                   readWholeFile(support.filePath(QStringLiteral("registry.json"))))
            .object();
    }
    QJsonObject savedProject(const QString& path) const
    {
        for (const QJsonValue& value : savedRegistry().value(QStringLiteral("projects")).toArray())
            if (value.toObject().value(QStringLiteral("path")).toString() == path)
                return value.toObject();
        return {};
    }

    static QStringList paths(const QList<Project>& projects)
    {
        QStringList result;
        for (const Project& project : projects)
            result.append(project.path);
        return result;
    }

    TempFolder support;
    TempFolder sites;
    FakeDesktop desktop;
};
