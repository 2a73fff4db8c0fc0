// Feeds arbitrary bytes through the configuration pipeline: JSONC cleaning (with its offset map),
// parsing as JSONC and as TOML, and extraction. Besides crashes it checks the invariants the
// rest of the application relies on.
#include "discovery/config/config_parser.h"
#include "discovery/config/jsonc.h"
#include "discovery/config/parsed_config.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkExtraction(const ConfigParseResult& result)
{
    if (!result.ok()) {
        check(!result.error->description.isEmpty());
        check(result.tree.isEmpty());
        return;
    }
    const ParsedConfig config = extractConfig(result.tree);
    for (const WorkerBinding& binding : config.bindings)
        check(!binding.name.isEmpty() && binding.kind != BindingKind::other);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));

    CleanedOffsets offsets;
    const QByteArray cleaned = cleanJsoncUtf8(input, offsets);
    check(cleaned == cleanJsoncUtf8(input));
    check(cleaned.size() <= input.size());
    // Every kept byte comes from the same byte of the input, in order.
    std::size_t previous = 0;
    for (qsizetype i = 0; i < cleaned.size(); ++i) {
        const std::size_t source = sourceOffset(offsets, std::size_t(i));
        check(source < size && input[qsizetype(source)] == cleaned[i]);
        check(i == 0 || source > previous);
        previous = source;
    }

    checkExtraction(parseConfigUtf8(input, ConfigKind::jsonc));
    checkExtraction(parseConfigUtf8(input, ConfigKind::toml));
    return 0;
}
