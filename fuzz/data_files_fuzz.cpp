// Feeds arbitrary bytes to the decoders of the three data files. Whatever decodes must survive
// being written in the data-file form and read again unchanged.
#include "storage/json_writer.h"
#include "storage/registry_file.h"
#include "storage/running_record.h"
#include "storage/settings_file.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));

    if (const std::optional<Registry> registry = decodeRegistry(input))
        check(decodeRegistry(encodeDataFileJson(encodeRegistry(*registry))) == registry);

    if (const std::optional<AppSettings> settings = decodeSettings(input)) {
        check(decodeSettings(encodeDataFileJson(encodeSettings(*settings))) == settings);
        check(settings->editorCommand != QLatin1StringView("code"));
    }

    if (const auto records = decodeRunningRecords(input))
        check(decodeRunningRecords(encodeDataFileJson(encodeRunningRecords(*records))) == records);
    return 0;
}
