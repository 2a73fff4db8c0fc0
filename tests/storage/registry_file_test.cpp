#include "storage/registry_file.h"
#include "storage/storage.h"
#include "support/qt_printers.h"
#include "support/support_dir_override.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

Registry sampleRegistry()
{
    Project api;
    api.path = QStringLiteral("/Users/me/Sites/api");
    api.configFile = QStringLiteral("wrangler.jsonc");
    api.name = QStringLiteral("api");
    api.rootPath = QStringLiteral("/Users/me/Sites");
    api.favorite = true;
    api.port = 8787;
    api.inspectorPort = 9229;
    api.runModeOverride = RunModeKind::devScript;
    api.customCommand = QStringLiteral("npm run dev -- --port 9000");
    api.environment = QStringLiteral("staging");

    Project blog;
    blog.path = QStringLiteral("/home/me/blog");
    blog.configFile = QStringLiteral("wrangler.toml");
    blog.name = QStringLiteral("blog");
    blog.hidden = true;

    return Registry{{QStringLiteral("/Users/me/Sites")}, {api, blog}};
}

// Written by hand: the exact bytes the application must produce for sampleRegistry().
const QByteArray sampleWritten = R"json({
  "projects" : [
    {
      "configFile" : "wrangler.jsonc",
      "customCommand" : "npm run dev -- --port 9000",
      "environment" : "staging",
      "favorite" : true,
      "hidden" : false,
      "inspectorPort" : 9229,
      "name" : "api",
      "path" : "\/Users\/me\/Sites\/api",
      "port" : 8787,
      "rootPath" : "\/Users\/me\/Sites",
      "runModeOverride" : "devScript"
    },
    {
      "configFile" : "wrangler.toml",
      "hidden" : true,
      "name" : "blog",
      "path" : "\/home\/me\/blog"
    }
  ],
  "roots" : [
    "\/Users\/me\/Sites"
  ]
})json";

// A minimal valid project object with one field replaced (or removed when `value` is empty).
QByteArray documentWithProjectField(const char* key, const char* value)
{
    QByteArray project =
        R"({"configFile": "wrangler.toml", "hidden": false, "name": "n", "path": "/p")";
    if (value)
        project += QByteArray(", \"") + key + "\": " + value;
    return R"({"roots": [], "projects": [)" + project + "}]}";
}

} // namespace

TEST(RegistryFile, SavesTheExactWrittenFormAndTwoSavesAreIdentical)
{
    SupportDirOverride support;
    EXPECT_EQ(saveRegistry(sampleRegistry()), std::nullopt);
    const QByteArray first = readWholeFile(support.file(QStringLiteral("registry.json")));
    EXPECT_EQ(first, sampleWritten);

    EXPECT_EQ(saveRegistry(sampleRegistry()), std::nullopt);
    EXPECT_EQ(readWholeFile(support.file(QStringLiteral("registry.json"))), first);
    EXPECT_EQ(loadRegistry(), sampleRegistry());
}

TEST(RegistryFile, OptionalFieldsAreOmittedAndAnUnmarkedFavouriteIsGone)
{
    Registry registry = sampleRegistry();
    Project& api = registry.projects[0];
    api.favorite.reset(); // unmarking removes the value
    api.rootPath.reset();
    api.port.reset();
    api.inspectorPort.reset();
    api.runModeOverride.reset();
    api.customCommand.reset();
    api.environment.reset(); // the top level

    const QByteArray written = R"json({
  "projects" : [
    {
      "configFile" : "wrangler.jsonc",
      "hidden" : false,
      "name" : "api",
      "path" : "\/Users\/me\/Sites\/api"
    }
  ],
  "roots" : []
})json";
    EXPECT_EQ(encodeRegistry(Registry{{}, {api}}), QJsonDocument::fromJson(written).object());
    SupportDirOverride support;
    saveRegistry(Registry{{}, {api}});
    EXPECT_EQ(readWholeFile(support.file(QStringLiteral("registry.json"))), written);
}

TEST(RegistryFile, ReadsHandEditedJsonAndIgnoresUnknownKeysAndNulls)
{
    const QByteArray handEdited = R"({"roots":["/a", "/b"], "version": 3, "projects":[
        {"path":"/a/x","name":"x","hidden":false,"configFile":"wrangler.json","port":8080.0,
         "favorite":false,"rootPath":null,"customCommand":null,"extra":{"nested":[1]}}]})";
    const std::optional<Registry> registry = decodeRegistry(handEdited);
    ASSERT_TRUE(registry.has_value());
    EXPECT_EQ(registry->roots, (QStringList{QStringLiteral("/a"), QStringLiteral("/b")}));
    ASSERT_EQ(registry->projects.size(), 1);
    const Project& project = registry->projects.first();
    EXPECT_EQ(project.path, QStringLiteral("/a/x"));
    EXPECT_EQ(project.port, 8080);
    EXPECT_EQ(project.favorite, false); // false is accepted and kept
    EXPECT_FALSE(project.rootPath.has_value());
    EXPECT_FALSE(project.customCommand.has_value());
    EXPECT_FALSE(project.environment.has_value()); // a file from before environments
}

TEST(RegistryFile, AnEmptyEnvironmentIsTheTopLevelAndIsNotWrittenBack)
{
    const std::optional<Registry> registry =
        decodeRegistry(documentWithProjectField("environment", "\"\""));
    ASSERT_TRUE(registry.has_value());
    EXPECT_FALSE(registry->projects.first().environment.has_value());

    Project edited = registry->projects.first();
    edited.environment = QString();
    EXPECT_FALSE(encodeRegistry(Registry{{}, {edited}})
                     .value(QStringLiteral("projects"))
                     .toArray()
                     .first()
                     .toObject()
                     .contains(QStringLiteral("environment")));
}

TEST(RegistryFile, EveryRunModeRoundTripsAndAnUnknownOneFailsTheDocument)
{
    for (RunModeKind mode : allRunModes()) {
        const QByteArray raw = "\"" + rawValue(mode).toUtf8() + "\"";
        const std::optional<Registry> registry =
            decodeRegistry(documentWithProjectField("runModeOverride", raw.constData()));
        ASSERT_TRUE(registry.has_value()) << raw.constData();
        EXPECT_EQ(registry->projects.first().runModeOverride, mode);
    }
    EXPECT_FALSE(decodeRegistry(documentWithProjectField("runModeOverride", "\"Wrangler\"")));
    EXPECT_FALSE(decodeRegistry(documentWithProjectField("runModeOverride", "\"\"")));
}

TEST(RegistryFile, StrictDecodingFailsTheWholeDocument)
{
    EXPECT_TRUE(decodeRegistry(documentWithProjectField("port", "8787")));

    const std::pair<const char*, const char*> badFields[] = {
        {"port", "\"8787\""},      {"port", "8787.5"},           {"port", "1e12"},
        {"inspectorPort", "true"}, {"favorite", "\"yes\""},      {"favorite", "1"},
        {"rootPath", "7"},         {"customCommand", "[\"a\"]"}, {"runModeOverride", "1"},
        {"environment", "false"},
    };
    for (const auto& [key, value] : badFields)
        EXPECT_FALSE(decodeRegistry(documentWithProjectField(key, value))) << key << "=" << value;

    const char* badDocuments[] = {
        // a project without "hidden"
        R"({"roots": [], "projects": [{"configFile": "c", "name": "n", "path": "/p"}]})",
        // required keys as null
        R"({"roots": [], "projects": [{"configFile": "c", "hidden": null, "name": "n", "path": "/p"}]})",
        R"({"roots": null, "projects": []})",
        R"({"projects": []})",
        R"({"roots": []})",
        R"({"roots": ["/a", 3], "projects": []})",
        R"({"roots": [], "projects": ["/p"]})",
        R"({"roots": [], "projects": {}})",
        R"([{"roots": [], "projects": []}])",
        R"({"roots": [], "projects": [])",
        "",
        "null",
    };
    for (const char* document : badDocuments)
        EXPECT_FALSE(decodeRegistry(document)) << document;

    EXPECT_EQ(decodeRegistry(R"({"roots": [], "projects": []})"), Registry{});
}

TEST(RegistryFile, UnicodeAndEscapesInPathsSurviveARoundTrip)
{
    Project odd;
    odd.path = QString::fromUtf8("/home/zoë/my \"quoted\" \\ project/日本");
    odd.configFile = QStringLiteral("wrangler.jsonc");
    odd.name = QString::fromUtf8("zoë's\tworker");
    odd.customCommand = QStringLiteral("PORT=1 npm run dev\n");
    const Registry registry{{QStringLiteral("/home/zoë")}, {odd}};

    SupportDirOverride support;
    saveRegistry(registry);
    EXPECT_EQ(loadRegistry(), registry);
}

TEST(RegistryFile, MissingFileLoadsNothingAndCreatesNothing)
{
    SupportDirOverride support;
    EXPECT_EQ(loadRegistry(), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(support.dir()));
}

TEST(RegistryFile, AnUndecodableFileIsKeptAsideBeforeTheNextSave)
{
    SupportDirOverride support;
    // Valid JSON but not a registry: the user's roots would be lost if it were overwritten.
    const QByteArray damaged = R"({"roots": ["/work"], "projects": [{"path": "/work/a"}]})";
    support.temp().write(QStringLiteral("support/registry.json"), damaged);

    EXPECT_EQ(loadRegistry(), std::nullopt);
    EXPECT_EQ(saveRegistry(sampleRegistry()), std::nullopt);

    const QStringList kept =
        QDir(support.dir()).entryList({QStringLiteral("registry.json.corrupt-*")});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readWholeFile(support.file(kept.first())), damaged);
    EXPECT_EQ(readWholeFile(support.file(QStringLiteral("registry.json"))), sampleWritten);
    // The fresh file loads normally and nothing more is moved aside.
    EXPECT_EQ(loadRegistry(), sampleRegistry());
    EXPECT_EQ(QDir(support.dir()).entryList({QStringLiteral("registry.json.corrupt-*")}).size(), 1);
}

TEST(RegistryFile, ASupportFolderThatDoesNotExistIsCreatedByTheFirstSave)
{
    SupportDirOverride support;
    qputenv("TALLOWMERE_SUPPORT_DIR", support.file(QStringLiteral("deep/er/Tallowmere")).toUtf8());
    EXPECT_EQ(saveRegistry(Registry{}), std::nullopt);
    EXPECT_EQ(readWholeFile(support.file(QStringLiteral("deep/er/Tallowmere/registry.json"))),
              QByteArray("{\n  \"projects\" : [],\n  \"roots\" : []\n}"));
}
