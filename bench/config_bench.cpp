// Speed of reading Wrangler configurations: JSONC cleaning throughput on a large text, and the
// whole parse + extract path for a typical configuration of each kind (about 2 KB).
#include "discovery/config/config_parser.h"
#include "discovery/config/jsonc.h"
#include "discovery/config/parsed_config.h"

#include <benchmark/benchmark.h>

namespace {

const QByteArray typicalJsonc = R"({
  // Worker settings
  "$schema": "node_modules/wrangler/config-schema.json",
  "name": "storefront-api",
  "main": "src/index.ts",
  "compatibility_date": "2025-04-15",
  "compatibility_flags": ["nodejs_compat"],
  "observability": { "enabled": true, "head_sampling_rate": 1 },
  /* Static assets served before the worker runs. */
  "assets": { "binding": "ASSETS", "directory": "./public", "not_found_handling": "single-page-application" },
  "routes": [{ "pattern": "shop.example.com/*", "zone_name": "example.com" }],
  "vars": {
    "API_BASE": "https://api.example.com/v2",
    "LOG_LEVEL": "info",
    "FEATURE_FLAGS": "search,checkout,reviews",
    "MAX_ITEMS": 50,
  },
  "d1_databases": [
    { "binding": "DB", "database_name": "storefront", "database_id": "0f0c4a4e-5d1e-4b8a-9b1e-3c1d2e3f4a5b", "migrations_dir": "migrations" },
  ],
  "kv_namespaces": [
    { "binding": "CACHE", "id": "2a1b3c4d5e6f70819293a4b5c6d7e8f9" }, // page cache
    { "binding": "SESSIONS", "id": "9f8e7d6c5b4a39281706f5e4d3c2b1a0" },
  ],
  "r2_buckets": [{ "binding": "MEDIA", "bucket_name": "storefront-media" }],
  "queues": {
    "producers": [{ "binding": "ORDERS", "queue": "orders" }],
    "consumers": [{ "queue": "orders", "max_batch_size": 10, "max_batch_timeout": 5 }],
  },
  "durable_objects": {
    "bindings": [
      { "name": "CART", "class_name": "Cart" },
      { "name": "RATE_LIMITER", "class_name": "RateLimiter" },
    ],
  },
  "migrations": [{ "tag": "v1", "new_sqlite_classes": ["Cart", "RateLimiter"] }],
  "services": [{ "binding": "AUTH", "service": "auth-worker", "entrypoint": "AuthService" }],
  "analytics_engine_datasets": [{ "binding": "EVENTS", "dataset": "storefront_events" }],
  "ai": { "binding": "AI" },
  "env": {
    "staging": {
      "name": "storefront-api-staging",
      "vars": { "API_BASE": "https://staging.example.com/v2", "LOG_LEVEL": "debug" },
    },
  },
}
)";

const QByteArray typicalJson = cleanJsoncUtf8(typicalJsonc);

const QByteArray typicalToml = R"(# Worker settings
name = "storefront-api"
main = "src/index.ts"
compatibility_date = 2025-04-15
compatibility_flags = ["nodejs_compat"]

[observability]
enabled = true
head_sampling_rate = 1

# Static assets served before the worker runs.
[assets]
binding = "ASSETS"
directory = "./public"
not_found_handling = "single-page-application"

[[routes]]
pattern = "shop.example.com/*"
zone_name = "example.com"

[vars]
API_BASE = "https://api.example.com/v2"
LOG_LEVEL = "info"
FEATURE_FLAGS = "search,checkout,reviews"
MAX_ITEMS = 50

[[d1_databases]]
binding = "DB"
database_name = "storefront"
database_id = "0f0c4a4e-5d1e-4b8a-9b1e-3c1d2e3f4a5b"
migrations_dir = "migrations"

[[kv_namespaces]]
binding = "CACHE" # page cache
id = "2a1b3c4d5e6f70819293a4b5c6d7e8f9"

[[kv_namespaces]]
binding = "SESSIONS"
id = "9f8e7d6c5b4a39281706f5e4d3c2b1a0"

[[r2_buckets]]
binding = "MEDIA"
bucket_name = "storefront-media"

[[queues.producers]]
binding = "ORDERS"
queue = "orders"

[[queues.consumers]]
queue = "orders"
max_batch_size = 10
max_batch_timeout = 5

[[durable_objects.bindings]]
name = "CART"
class_name = "Cart"

[[durable_objects.bindings]]
name = "RATE_LIMITER"
class_name = "RateLimiter"

[[migrations]]
tag = "v1"
new_sqlite_classes = ["Cart", "RateLimiter"]

[[services]]
binding = "AUTH"
service = "auth-worker"
entrypoint = "AuthService"

[[analytics_engine_datasets]]
binding = "EVENTS"
dataset = "storefront_events"

[ai]
binding = "AI"

[env.staging]
name = "storefront-api-staging"
vars = { API_BASE = "https://staging.example.com/v2", LOG_LEVEL = "debug" }
)";

QByteArray megabyteOfJsonc()
{
    QByteArray text;
    text.reserve(1 << 20);
    while (text.size() < (1 << 20))
        text += typicalJsonc;
    text.truncate(1 << 20);
    return text;
}

void BM_CleanJsonc(benchmark::State& state)
{
    const QByteArray text = megabyteOfJsonc();
    for (auto _ : state)
        benchmark::DoNotOptimize(cleanJsoncUtf8(text));
    state.SetBytesProcessed(state.iterations() * text.size());
    state.counters["MB/s"] = benchmark::Counter(double(text.size()) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CleanJsonc)->Unit(benchmark::kMillisecond);

void BM_CleanJsoncQString(benchmark::State& state)
{
    const QString text = QString::fromUtf8(megabyteOfJsonc());
    for (auto _ : state)
        benchmark::DoNotOptimize(cleanJsonc(text));
    state.counters["MB/s"] =
        benchmark::Counter(double(1 << 20) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CleanJsoncQString)->Unit(benchmark::kMillisecond);

void parseAndExtract(benchmark::State& state, const QByteArray& text, ConfigKind kind)
{
    const ParsedConfig expected = extractConfig(parseConfigUtf8(text, kind).tree);
    if (expected.bindings.size() != 12) {
        state.SkipWithError("the sample configuration did not parse as expected");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(extractConfig(parseConfigUtf8(text, kind).tree));
    state.SetLabel(std::to_string(text.size()) + " bytes");
}

BENCHMARK_CAPTURE(parseAndExtract, jsonc, typicalJsonc, ConfigKind::jsonc)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(parseAndExtract, json, typicalJson, ConfigKind::json)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(parseAndExtract, toml, typicalToml, ConfigKind::toml)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
