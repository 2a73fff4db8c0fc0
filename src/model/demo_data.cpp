#include "model/demo_data.h"

#include "discovery/config/config_kind.h"
#include "discovery/dev_registry_watcher.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"

#include <QDateTime>
#include <QUrl>

#include <cmath>
#include <unistd.h>

namespace DemoData {

namespace {

WorkerBinding binding(BindingKind kind, const char* name, const char* detail = nullptr)
{
    return WorkerBinding{kind, QString::fromUtf8(name),
                         detail ? std::optional<QString>(QString::fromUtf8(detail)) : std::nullopt};
}

QList<Entry> buildEntries()
{
    using K = BindingKind;
    QList<Entry> list;
    {
        Entry e{};
        e.name = QStringLiteral("aurora-api");
        e.folder = QStringLiteral("~/Sites/aurora/api");
        e.status = ProjectStatus::running();
        e.port = 8787;
        e.entry = QStringLiteral("src/index.ts");
        e.bindings = {binding(K::d1, "DB", "aurora-prod"),
                      binding(K::kv, "CACHE"),
                      binding(K::r2, "UPLOADS", "aurora-uploads"),
                      binding(K::queue, "JOBS", "email-jobs"),
                      binding(K::workflow, "ONBOARDING", "user-onboarding"),
                      binding(K::service, "IMAGES", "aurora-images"),
                      binding(K::service, "AUTH", "ember-auth")};
        e.vars = {QStringLiteral("API_VERSION"), QStringLiteral("LOG_LEVEL"),
                  QStringLiteral("CORS_ORIGIN")};
        e.memoryMB = 184.6;
        e.cpuPercent = 3.2;
        e.pm = PackageManager::pnpm;
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("nimbus-journal");
        e.folder = QStringLiteral("~/Sites/nimbus");
        e.status = ProjectStatus::running();
        e.port = 4321;
        e.mode = RunModeKind::devScript;
        e.framework = QStringLiteral("Astro");
        e.cms = QStringLiteral("EmDash");
        e.bindings = {binding(K::d1, "DB", "nimbus-content"),
                      binding(K::r2, "MEDIA", "nimbus-media"), binding(K::kv, "SESSION"),
                      binding(K::assets, "ASSETS")};
        e.vars = {QStringLiteral("SITE_URL")};
        e.memoryMB = 241.3;
        e.cpuPercent = 12.6;
        e.pm = PackageManager::pnpm;
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("lumen-checkout");
        e.folder = QStringLiteral("~/Sites/lumen/checkout");
        e.status = ProjectStatus::running();
        e.port = 8788;
        e.entry = QStringLiteral("src/checkout.ts");
        e.bindings = {binding(K::durableObject, "CART", "CartSession"),
                      binding(K::service, "PAYMENTS", "payments-gateway"),
                      binding(K::kv, "PRICES")};
        e.vars = {QStringLiteral("CURRENCY"), QStringLiteral("PAYMENT_MODE")};
        e.memoryMB = 156.9;
        e.cpuPercent = 0.8;
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("quartz-search");
        e.folder = QStringLiteral("~/Sites/quartz");
        e.status = ProjectStatus::running();
        e.port = 8789;
        e.mode = RunModeKind::vite;
        e.entry = QStringLiteral("src/search.ts");
        e.bindings = {binding(K::vectorize, "INDEX", "quartz-index"), binding(K::ai, "AI")};
        e.vars = {QStringLiteral("EMBEDDING_MODEL")};
        e.memoryMB = 133.2;
        e.cpuPercent = 1.5;
        e.pm = PackageManager::bun;
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("pixel-forge");
        e.folder = QStringLiteral("~/Sites/pixel-forge");
        e.status = ProjectStatus::stopped();
        e.mode = RunModeKind::pages;
        e.framework = QStringLiteral("Astro");
        e.pages = QStringLiteral("dist");
        e.bindings = {binding(K::r2, "IMAGES", "pixel-forge-images")};
        e.config = QStringLiteral("wrangler.toml");
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("tidepool-analytics");
        e.folder = QStringLiteral("~/Sites/tidepool");
        e.status = ProjectStatus::stopped();
        e.entry = QStringLiteral("src/ingest.ts");
        e.bindings = {binding(K::analytics, "EVENTS", "tidepool_events"),
                      binding(K::queue, "INGEST", "tidepool-ingest")};
        e.vars = {QStringLiteral("SAMPLE_RATE")};
        e.pm = PackageManager::yarn;
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("ember-auth");
        e.folder = QStringLiteral("~/Sites/ember/auth");
        e.status = ProjectStatus::stopped();
        e.entry = QStringLiteral("src/auth.ts");
        e.bindings = {binding(K::d1, "USERS", "ember-users"), binding(K::kv, "SESSIONS")};
        e.vars = {QStringLiteral("JWT_ISSUER"), QStringLiteral("SESSION_TTL")};
        e.pm = PackageManager::pnpm;
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("orbit-queue");
        e.folder = QStringLiteral("~/Sites/orbit");
        e.status = ProjectStatus::error(QStringLiteral("Exited with code 1"));
        e.entry = QStringLiteral("src/consumer.ts");
        e.bindings = {binding(K::queue, "TASKS", "orbit-tasks"),
                      binding(K::durableObject, "LOCKS", "TaskLock")};
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("meridian-docs");
        e.folder = QStringLiteral("~/Sites/meridian-docs");
        e.status = ProjectStatus::stopped();
        e.mode = RunModeKind::devScript;
        e.framework = QStringLiteral("Astro");
        e.pages = QStringLiteral("dist");
        e.config = QStringLiteral("wrangler.toml");
        e.pm = PackageManager::pnpm;
        list.append(e);
    }
    {
        Entry e{};
        e.name = QStringLiteral("halcyon-gateway");
        e.folder = QStringLiteral("~/Sites/halcyon");
        e.status = ProjectStatus::stopped();
        e.entry = QStringLiteral("src/gateway.ts");
        e.bindings = {binding(K::service, "AUTH", "ember-auth"),
                      binding(K::hyperdrive, "POSTGRES", "halcyon-db"),
                      binding(K::browser, "BROWSER")};
        e.vars = {QStringLiteral("UPSTREAM_URL"), QStringLiteral("RATE_LIMIT"),
                  QStringLiteral("REGION"), QStringLiteral("TIMEOUT_MS"),
                  QStringLiteral("RETRY_COUNT")};
        // Staging is chosen: its own database and variables, no browser binding.
        EnvironmentConfig staging;
        staging.name = QStringLiteral("staging");
        staging.workerName = QStringLiteral("halcyon-gateway-staging");
        staging.main = e.entry;
        staging.compatibilityDate = e.date;
        staging.bindings = {binding(K::service, "AUTH", "ember-auth"),
                            binding(K::hyperdrive, "POSTGRES", "halcyon-db-staging")};
        staging.varNames = {QStringLiteral("REGION"), QStringLiteral("UPSTREAM_URL")};
        staging.notInherited = {QStringLiteral("browser")};
        EnvironmentConfig production = staging;
        production.name = QStringLiteral("production");
        production.workerName = QStringLiteral("halcyon-gateway-production");
        production.bindings = e.bindings;
        production.notInherited.clear();
        e.environments = {production, staging};
        e.environment = QStringLiteral("staging");
        list.append(e);
    }
    return list;
}

const QStringList& auroraLog()
{
    static const QStringList lines = {
        QStringLiteral("▶ pnpm exec wrangler dev --port 8787 --inspector-port 9230"),
        QStringLiteral("⛅️ wrangler 4.147.0"),
        QStringLiteral("Your Worker has access to the following bindings:"),
        QStringLiteral("env.DB (aurora-prod)                       D1 Database          local"),
        QStringLiteral("env.CACHE                                  KV Namespace         local"),
        QStringLiteral("env.UPLOADS (aurora-uploads)               R2 Bucket            local"),
        QStringLiteral("env.JOBS (email-jobs)                      Queue                local"),
        QStringLiteral("env.ONBOARDING (user-onboarding)           Workflow             local"),
        QStringLiteral("[wrangler:info] Ready on http://localhost:8787"),
        QStringLiteral("[wrangler:info] GET /api/v1/projects 200 OK (14ms)"),
        QStringLiteral("[wrangler:info] GET /api/v1/projects/prj_9f2c 200 OK (9ms)"),
        QStringLiteral("[wrangler:info] POST /api/v1/uploads 201 Created (42ms)"),
        QStringLiteral("queue: email-jobs received batch of 3 messages"),
        QStringLiteral("[wrangler:info] GET /api/v1/me 200 OK (6ms)"),
        QStringLiteral("warn: KV CACHE read took 120ms (cold start)"),
        QStringLiteral("[wrangler:info] POST /api/v1/auth/session 200 OK (18ms)"),
        QStringLiteral("workflow: user-onboarding started instance onb_2d41"),
        QStringLiteral("[wrangler:info] GET /api/v1/projects?limit=20 200 OK (11ms)"),
        QStringLiteral("[wrangler:info] DELETE /api/v1/uploads/upl_71 204 No Content (21ms)"),
        QStringLiteral("[wrangler:info] GET /healthz 200 OK (2ms)"),
    };
    return lines;
}

} // namespace

// A made-up hour of requests, fed through the server's output as Wrangler prints them: a busy
// spell half an hour ago, a steady rate since, a few slow requests and now and then a failure
// (with `failRecently`, two in the last five minutes).
// The same every time (a fixed sequence, not the clock, picks each request).
void showCpu(ServerActivity& activity, double percent)
{
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    constexpr qint64 spanMs = 10000;
    activity.cpuSampled(0, 0);
    activity.cpuSampled(quint64(std::llround(percent / 100.0 * double(ticksPerSecond) * 10.0)),
                        spanMs);
}

void showTraffic(ServerActivity& activity, int perMinute, quint32 seed, bool failRecently)
{
    struct Route
    {
        const char* method;
        const char* path;
        int status;
        const char* statusText;
        int typicalMs;
    };
    static const Route routes[] = {
        {"GET", "/api/v1/projects", 200, "OK", 14},
        {"GET", "/api/v1/projects/prj_9f2c", 200, "OK", 9},
        {"GET", "/api/v1/me", 200, "OK", 6},
        {"POST", "/api/v1/auth/session", 200, "OK", 18},
        {"GET", "/healthz", 200, "OK", 2},
        {"GET", "/api/v1/projects/prj_0000", 404, "Not Found", 7},
        {"POST", "/api/v1/uploads", 201, "Created", 240},
        {"GET", "/api/v1/reports/monthly", 200, "OK", 90},
        {"DELETE", "/api/v1/uploads/upl_71", 204, "No Content", 21},
    };
    quint32 state = seed;
    const auto next = [&state](quint32 below) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    };
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    qint64 atMs = nowMs;
    activity.setClock([&atMs] { return atMs; });
    for (int age = 59; age >= 0; --age) {
        const double busy = std::exp(-std::pow((age - 32) / 6.0, 2.0));
        const int count = int(perMinute * (0.55 + 1.6 * busy)) + int(next(5));
        for (int i = 0; i < count; ++i) {
            atMs = nowMs - qint64(age) * 60'000 - qint64(next(60'000));
            const Route& route = routes[next(std::size(routes))];
            int ms = route.typicalMs / 2 + int(next(quint32(route.typicalMs) + 1));
            if (next(60) == 0)
                ms += 600 + int(next(900)); // a cold cache, a slow upstream
            if (next(90) == 0 || (age < 5 && i == 0 && age % 2 == 1 && failRecently)) {
                activity.outputLine(QStringLiteral("[wrangler:error] TypeError: Cannot read "
                                                   "properties of undefined (reading 'id')"),
                                    false);
                activity.outputLine(
                    QStringLiteral("[wrangler:info] %1 %2 500 Internal Server Error (%3ms)")
                        .arg(QLatin1String(route.method), QLatin1String(route.path))
                        .arg(ms),
                    false);
                continue;
            }
            activity.outputLine(QStringLiteral("[wrangler:info] %1 %2 %3 %4 (%5ms)")
                                    .arg(QLatin1String(route.method), QLatin1String(route.path))
                                    .arg(route.status)
                                    .arg(QLatin1String(route.statusText))
                                    .arg(ms),
                                false);
        }
    }
    activity.setClock([] { return QDateTime::currentMSecsSinceEpoch(); });
}

const QList<Entry>& entries()
{
    static const QList<Entry> list = buildEntries();
    return list;
}

QStringList logLines(const Entry& entry)
{
    if (entry.name == QStringLiteral("aurora-api"))
        return auroraLog();
    return {QStringLiteral("▶ ready"),
            QStringLiteral("[wrangler:info] Ready on http://localhost:") +
                QString::number(entry.port.value_or(8787))};
}

QString expandedPath(const Entry& entry, const QString& home)
{
    QString path = entry.folder;
    if (path.startsWith(QLatin1Char('~')))
        path.replace(0, 1, home);
    return path;
}

bool isFavorite(const Entry& entry)
{
    return entry.name == QStringLiteral("aurora-api") ||
           entry.name == QStringLiteral("meridian-docs");
}

Project project(const Entry& entry, const QString& home)
{
    Project p;
    p.path = expandedPath(entry, home);
    p.configFile = entry.config;
    p.name = entry.name;
    p.rootPath = p.path.section(QLatin1Char('/'), 0, -2);
    p.hidden = false;
    p.environment = entry.environment;
    if (isFavorite(entry))
        p.favorite = true;
    return p;
}

ProjectInfo info(const Entry& entry, const QString& home)
{
    const QString path = expandedPath(entry, home);
    ProjectInfo i;
    i.configKind = configKindForFile(entry.config);
    i.workerName = entry.name;
    i.mainEntry = entry.entry;
    i.compatibilityDate = entry.date;
    i.bindings = entry.bindings;
    i.varNames = entry.vars;
    i.environments = entry.environments;
    i.wranglerVersion = entry.wrangler;
    i.packageManager = entry.pm;
    i.detectedMode = entry.mode;
    i.hasDevScript = entry.mode == RunModeKind::devScript || entry.mode == RunModeKind::vite;
    i.depsInstalled = true;
    i.nodeModulesPresent = true;
    i.pagesOutputDir = entry.pages;
    i.framework = entry.framework;
    i.packageRoot = path;
    i.scriptRoot = path;
    i.cms = entry.cms;
    return i;
}

std::optional<DetailTab> tabFromVariable(const QString& value)
{
    if (value.isEmpty())
        return std::nullopt;
    const QString capitalised = value.left(1).toUpper() + value.mid(1).toLower();
    const QList<QPair<QString, DetailTab>> titles = {
        {QStringLiteral("Overview"), DetailTab::overview},
        {QStringLiteral("Logs"), DetailTab::logs},
        {QStringLiteral("Explorer"), DetailTab::explorer},
        {QStringLiteral("Settings"), DetailTab::settings},
    };
    for (const auto& [title, tab] : titles)
        if (title == capitalised)
            return tab;
    return std::nullopt;
}

QList<DevRegistryEntry> registryEntries()
{
    // Every running project's Worker, and one started from a terminal that aurora-api binds to
    // and that consumes its queue.
    QStringList workers{QStringLiteral("aurora-images")};
    for (const Entry& entry : entries())
        if (entry.status.kind() == ProjectStatus::Kind::running)
            workers.append(entry.name);
    QList<DevRegistryEntry> list;
    int port = 41200;
    for (const QString& worker : std::as_const(workers)) {
        DevRegistryEntry entry;
        entry.workerName = worker;
        entry.debugAddress = QStringLiteral("127.0.0.1:") + QString::number(port++);
        entry.modified = QDateTime::currentDateTimeUtc();
        entry.live = true;
        if (worker == u"aurora-images")
            entry.queueConsumers = {QStringLiteral("email-jobs")};
        list.append(entry);
    }
    return list;
}

} // namespace DemoData

void loadDemo(AppModel& model, const QMap<QString, QString>& environment, const QString& home)
{
    const auto tabVariable = environment.find(QStringLiteral("TALLOWMERE_DEMO_TAB"));
    if (tabVariable != environment.end())
        if (const auto tab = DemoData::tabFromVariable(*tabVariable))
            model.setSelectedTab(*tab);

    QList<Project> projects;
    ProjectInfoMap infos;
    QString auroraPath;
    for (const DemoData::Entry& entry : DemoData::entries()) {
        const Project project = DemoData::project(entry, home);
        infos.insert(project.path, DemoData::info(entry, home));
        if (entry.name == QStringLiteral("aurora-api"))
            auroraPath = project.path;
        projects.append(project);
    }
    // The demo replaces the loaded registry in memory only; nothing is saved. It gives every
    // project its run state, which then shows the demo's server.
    const Environment shell{
        {QStringLiteral("HOME"), home},
        {QStringLiteral("PATH"), home + QStringLiteral("/.local/bin:") + home +
                                     QStringLiteral("/.nvm/versions/node/v22.12.0/bin:"
                                                    "/usr/local/bin:/usr/bin:/bin")}};
    model.showDemoContent({{QStringLiteral("~/Sites")}, projects, infos});
    model.showDemoShellEnvironment(shell);
    model.devRegistry()->showEntries(DemoData::registryEntries());

    const QList<DemoData::Entry>& entries = DemoData::entries();
    for (qsizetype index = 0; index < entries.size(); ++index) {
        const DemoData::Entry& entry = entries[index];
        ProjectRuntime* runtime = model.runtimeFor(projects[index].path);
        if (!runtime)
            continue;
        DemoServer run;
        run.status = entry.status;
        if (entry.status.kind() == ProjectStatus::Kind::running && entry.port) {
            run.url = QUrl(QStringLiteral("http://localhost:") + QString::number(*entry.port));
            run.memoryBytes = quint64(entry.memoryMB * 1048576.0);
        }
        if (entry.name == QStringLiteral("orbit-queue"))
            run.portConflict = PortConflict{8787, auroraPath, QStringLiteral("aurora-api")};
        runtime->demoShown(run);
        if (run.memoryBytes)
            DemoData::showCpu(*runtime->activity(), entry.cpuPercent);
        if (entry.name == QStringLiteral("aurora-api"))
            DemoData::showTraffic(*runtime->activity(), 24, 7, true);
        else if (entry.name == QStringLiteral("lumen-checkout"))
            DemoData::showTraffic(*runtime->activity(), 4, 11, false);
        for (const QString& line : DemoData::logLines(entry))
            runtime->log()->append(line, false);
    }

    std::optional<QString> selection;
    const auto wanted = environment.find(QStringLiteral("TALLOWMERE_DEMO_PROJECT"));
    if (wanted != environment.end())
        for (const Project& project : projects)
            if (project.name == *wanted)
                selection = project.path;
    if (!selection) {
        const QList<Project> visible = model.visibleProjects();
        if (!visible.isEmpty())
            selection = visible.first().path;
    }
    model.select(selection);
}
