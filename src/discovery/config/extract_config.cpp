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
};

// Order matters: bindings are listed section by section in this order.
constexpr BindingRow bindingRows[] = {
    {"d1_databases", nullptr, false, BindingKind::d1, "binding", "database_name", nullptr, nullptr,
     nullptr},
    {"kv_namespaces", nullptr, false, BindingKind::kv, "binding", nullptr, nullptr, nullptr,
     nullptr},
    {"r2_buckets", nullptr, false, BindingKind::r2, "binding", "bucket_name", nullptr, nullptr,
     nullptr},
    {"queues", "producers", false, BindingKind::queue, "binding", "queue", nullptr, nullptr,
     nullptr},
    {"queues", "consumers", false, BindingKind::queue, "queue", nullptr, "consumer", nullptr,
     nullptr},
    {"durable_objects", "bindings", false, BindingKind::durableObject, "name", "class_name",
     nullptr, nullptr, "script_name"},
    {"workflows", nullptr, false, BindingKind::workflow, "binding", "name", nullptr, nullptr,
     nullptr},
    {"services", nullptr, false, BindingKind::service, "binding", "service", nullptr, nullptr,
     "service"},
    {"vectorize", nullptr, false, BindingKind::vectorize, "binding", "index_name", nullptr, nullptr,
     nullptr},
    {"hyperdrive", nullptr, false, BindingKind::hyperdrive, "binding", nullptr, nullptr, nullptr,
     nullptr},
    {"analytics_engine_datasets", nullptr, false, BindingKind::analytics, "binding", "dataset",
     nullptr, nullptr, nullptr},
    {"ai", nullptr, true, BindingKind::ai, "binding", nullptr, nullptr, nullptr, nullptr},
    {"browser", nullptr, true, BindingKind::browser, "binding", nullptr, nullptr, nullptr, nullptr},
    {"assets", nullptr, true, BindingKind::assets, "binding", "directory", nullptr, "assets",
     nullptr},
    {"tail_consumers", nullptr, false, BindingKind::tailConsumer, "service", nullptr, nullptr,
     nullptr, "service"},
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

    const QJsonValue vars = tree.value(QLatin1StringView("vars"));
    if (vars.isObject()) {
        config.varNames = vars.toObject().keys();
        // Plain string order is the order of Unicode scalar values, which is the UTF-8 byte
        // order (UTF-16 code units differ above U+FFFF).
        std::sort(config.varNames.begin(), config.varNames.end(),
                  [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    }
    return config;
}
