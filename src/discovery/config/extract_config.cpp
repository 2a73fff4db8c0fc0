#include "discovery/config/parsed_config.h"

#include <QJsonArray>

#include <algorithm>

namespace {

// How one binding section of the configuration reads.
struct BindingRow
{
    const char* section;    // top-level key
    const char* subsection; // key inside that table holding the array, or null
    bool singleTable;       // the section is one table, not an array of tables
    BindingKind kind;
    const char* nameKey;
    const char* detailKey;   // null when the binding has no detail
    const char* fixedDetail; // a detail that does not come from the entry
    const char* defaultName; // used when the name key is missing or not a string
    const char* workerKey;   // the key naming another Worker the binding reaches, or null
    bool inheritable;        // an environment without the section takes the top level's
};

// Order matters: bindings are listed section by section in this order.
constexpr BindingRow bindingRows[] = {
    {"d1_databases", nullptr, false, BindingKind::d1, "binding", "database_name", nullptr, nullptr,
     nullptr, false},
    {"kv_namespaces", nullptr, false, BindingKind::kv, "binding", nullptr, nullptr, nullptr,
     nullptr, false},
    {"r2_buckets", nullptr, false, BindingKind::r2, "binding", "bucket_name", nullptr, nullptr,
     nullptr, false},
    {"queues", "producers", false, BindingKind::queue, "binding", "queue", nullptr, nullptr,
     nullptr, false},
    {"queues", "consumers", false, BindingKind::queue, "queue", nullptr, "consumer", nullptr,
     nullptr, false},
    {"durable_objects", "bindings", false, BindingKind::durableObject, "name", "class_name",
     nullptr, nullptr, "script_name", false},
    {"workflows", nullptr, false, BindingKind::workflow, "binding", "name", nullptr, nullptr,
     nullptr, false},
    {"services", nullptr, false, BindingKind::service, "binding", "service", nullptr, nullptr,
     "service", false},
    {"vectorize", nullptr, false, BindingKind::vectorize, "binding", "index_name", nullptr, nullptr,
     nullptr, false},
    {"hyperdrive", nullptr, false, BindingKind::hyperdrive, "binding", nullptr, nullptr, nullptr,
     nullptr, false},
    {"analytics_engine_datasets", nullptr, false, BindingKind::analytics, "binding", "dataset",
     nullptr, nullptr, nullptr, false},
    {"ai", nullptr, true, BindingKind::ai, "binding", nullptr, nullptr, nullptr, nullptr, false},
    {"browser", nullptr, true, BindingKind::browser, "binding", nullptr, nullptr, nullptr, nullptr,
     false},
    {"assets", nullptr, true, BindingKind::assets, "binding", "directory", nullptr, "assets",
     nullptr, true},
    {"tail_consumers", nullptr, false, BindingKind::tailConsumer, "service", nullptr, nullptr,
     nullptr, "service", false},
};

QString keyOf(const char* name)
{
    return QString::fromLatin1(name);
}

std::optional<QString> stringValue(const QJsonObject& object, const char* name)
{
    const QJsonValue value = object.value(QLatin1StringView(name));
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

void appendEntry(const BindingRow& row, const QJsonObject& entry, QList<WorkerBinding>& out)
{
    std::optional<QString> name = stringValue(entry, row.nameKey);
    if (!name && row.defaultName)
        name = keyOf(row.defaultName);
    if (!name || name->isEmpty())
        return;
    WorkerBinding binding{row.kind, *name, std::nullopt};
    if (row.fixedDetail)
        binding.detail = keyOf(row.fixedDetail);
    else if (row.detailKey)
        binding.detail = stringValue(entry, row.detailKey);
    if (row.workerKey)
        if (std::optional<QString> worker = stringValue(entry, row.workerKey);
            worker && !worker->isEmpty())
            binding.worker = std::move(worker);
    out.append(std::move(binding));
}

void appendRow(const BindingRow& row, const QJsonObject& tree, QList<WorkerBinding>& out)
{
    QJsonValue section = tree.value(QLatin1StringView(row.section));
    if (row.subsection) {
        if (!section.isObject())
            return;
        section = section.toObject().value(QLatin1StringView(row.subsection));
    }
    if (row.singleTable) {
        if (section.isObject())
            appendEntry(row, section.toObject(), out);
        return;
    }
    if (!section.isArray())
        return;
    // An array holding anything but tables has another shape and contributes nothing at all.
    const QJsonArray entries = section.toArray();
    if (!std::all_of(entries.begin(), entries.end(),
                     [](const QJsonValue& v) { return v.isObject(); }))
        return;
    for (const QJsonValue entry : entries)
        appendEntry(row, entry.toObject(), out);
}

QStringList sortedVarNames(const QJsonObject& section)
{
    const QJsonValue vars = section.value(QLatin1StringView("vars"));
    if (!vars.isObject())
        return {};
    QStringList names = vars.toObject().keys();
    // Plain string order is the order of Unicode scalar values, which is the UTF-8 byte order
    // (UTF-16 code units differ above U+FFFF).
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    return names;
}

// The keys an environment never inherits, as Wrangler lists them; it warns for each one the
// top level sets and the environment lacks.
constexpr const char* notInheritableKeys[] = {
    "vars",
    "secrets",
    "define",
    "durable_objects",
    "workflows",
    "kv_namespaces",
    "cloudchamber",
    "containers",
    "send_email",
    "queues",
    "connect",
    "r2_buckets",
    "d1_databases",
    "vectorize",
    "ai_search_namespaces",
    "ai_search",
    "websearch",
    "agent_memory",
    "hyperdrive",
    "services",
    "analytics_engine_datasets",
    "dispatch_namespaces",
    "mtls_certificates",
    "tail_consumers",
    "streaming_tail_consumers",
    "unsafe",
    "browser",
    "ai",
    "images",
    "stream",
    "media",
    "pipelines",
    "secrets_store_secrets",
    "artifacts",
    "unsafe_hello_world",
    "flagship",
    "worker_loaders",
    "ratelimits",
    "vpc_services",
    "vpc_networks",
    "version_metadata",
};

// An inheritable string: the environment's own when it is a string, else the top level's.
std::optional<QString> inherited(const QJsonObject& environment, const char* key,
                                 const std::optional<QString>& topLevel)
{
    if (std::optional<QString> own = stringValue(environment, key))
        return own;
    return topLevel;
}

EnvironmentConfig extractEnvironment(const QString& name, const QJsonObject& environment,
                                     const QJsonObject& tree, const ParsedConfig& topLevel)
{
    EnvironmentConfig config;
    config.name = name;
    config.workerName = stringValue(environment, "name");
    // Wrangler appends the environment only to a top-level name that is not empty.
    if (!config.workerName && topLevel.workerName && !topLevel.workerName->isEmpty())
        config.workerName = *topLevel.workerName + QLatin1Char('-') + name;
    config.main = inherited(environment, "main", topLevel.main);
    config.compatibilityDate =
        inherited(environment, "compatibility_date", topLevel.compatibilityDate);
    for (const BindingRow& row : bindingRows) {
        const bool own = environment.contains(QLatin1StringView(row.section));
        appendRow(row, own || !row.inheritable ? environment : tree, config.bindings);
    }
    config.varNames = sortedVarNames(environment);
    for (const char* key : notInheritableKeys)
        if (tree.contains(QLatin1StringView(key)) && !environment.contains(QLatin1StringView(key)))
            config.notInherited.append(keyOf(key));
    return config;
}

} // namespace

ParsedConfig extractConfig(const QJsonObject& tree)
{
    ParsedConfig config;
    config.workerName = stringValue(tree, "name");
    config.main = stringValue(tree, "main");
    config.compatibilityDate = stringValue(tree, "compatibility_date");
    config.pagesOutputDir = stringValue(tree, "pages_build_output_dir");
    for (const BindingRow& row : bindingRows)
        appendRow(row, tree, config.bindings);
    config.varNames = sortedVarNames(tree);

    const QJsonValue environments = tree.value(QLatin1StringView("env"));
    if (environments.isObject()) {
        const QJsonObject table = environments.toObject();
        // An empty name selects the top level in Wrangler, so it can never be chosen.
        for (auto it = table.begin(); it != table.end(); ++it)
            if (it.value().isObject() && !it.key().isEmpty())
                config.environments.append(
                    extractEnvironment(it.key(), it.value().toObject(), tree, config));
    }
    return config;
}
