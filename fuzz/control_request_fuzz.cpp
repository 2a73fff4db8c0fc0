// Feeds arbitrary bytes to the decoder of control-socket requests. Whatever decodes must
// survive being encoded and decoded again unchanged, and must respect the protocol's limits.
#include "control/control_protocol.h"

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
    const auto decoded = decodeRequest(input);
    const auto* request = std::get_if<ControlRequest>(&decoded);
    if (!request)
        return 0;
    check(request->lines >= 0 && request->lines <= 100000);
    check(request->names.size() <= 1 ||
          (request->command != ControlCommand::logs && request->command != ControlCommand::open));
    const QByteArray line = encodeRequest(*request);
    check(line.endsWith('\n') && line.count('\n') == 1);
    const auto again = decodeRequest(line.chopped(1));
    check(std::holds_alternative<ControlRequest>(again) &&
          std::get<ControlRequest>(again) == *request);
    return 0;
}
