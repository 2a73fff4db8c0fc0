#include "control/launch_claim.h"

#include "control/control_client.h"
#include "control/control_protocol.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>

namespace {

bool handOver(const InstanceAddress& address, bool showWindow, std::chrono::milliseconds patience)
{
    const QDeadlineTimer deadline(patience);
    do {
        ControlClient client;
        if (client.connectTo(address.socketPath)) {
            if (!showWindow)
                return true;
            ControlRequest show;
            show.command = ControlCommand::show;
            if (!client.send(encodeRequest(show)))
                return false;
            const std::optional<QJsonObject> answer = client.receive(int(patience.count()));
            return answer && answer->value(QStringLiteral("ok")).toBool();
        }
        QThread::msleep(50); // the instance has its lock but is not listening yet
    } while (!deadline.hasExpired());
    return false;
}

} // namespace

LaunchClaim claimLaunch(const InstanceAddress& address, bool showWindow,
                        std::chrono::milliseconds patience)
{
    LaunchClaim claim;
    auto lock = std::make_unique<InstanceLock>(address.lockFile);
    switch (lock->tryAcquire()) {
    case InstanceLock::Outcome::acquired: claim.lock = std::move(lock); return claim;
    case InstanceLock::Outcome::failed:
        std::fprintf(stderr,
                     "tallowmere: cannot create %s; running without the single-instance "
                     "check\n",
                     qPrintable(address.lockFile));
        return claim;
    case InstanceLock::Outcome::heldElsewhere: break;
    }
    if (handOver(address, showWindow, patience)) {
        claim.exitCode = 0;
        return claim;
    }
    const std::optional<qint64> holder = lock->holder();
    std::fprintf(stderr, "tallowmere: another instance (pid %lld) holds %s but does not answer\n",
                 holder ? static_cast<long long>(*holder) : -1LL, qPrintable(address.lockFile));
    claim.exitCode = 1;
    return claim;
}
