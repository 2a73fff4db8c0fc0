#include "discovery/binding_connections.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {

WorkerBinding reaching(BindingKind kind, const char* name, const char* detail, const char* worker)
{
    WorkerBinding binding{kind, QString::fromLatin1(name), std::nullopt, std::nullopt};
    if (detail)
        binding.detail = QString::fromLatin1(detail);
    if (worker)
        binding.worker = QString::fromLatin1(worker);
    return binding;
}

DevRegistryEntry entry(const char* worker, bool live, QStringList queues = {})
{
    DevRegistryEntry found;
    found.workerName = QString::fromLatin1(worker);
    found.debugAddress = QStringLiteral("127.0.0.1:40000");
    found.queueConsumers = std::move(queues);
    found.live = live;
    return found;
}

// "BINDING=worker:connected" per connection; the queue producers as "BINDING@queue=...".
QStringList summary(const QList<BindingConnection>& connections)
{
    QStringList lines;
    for (const BindingConnection& c : connections)
        lines.append(c.binding + (c.queue ? u'@' + *c.queue : QString()) + u'=' + c.worker + u':' +
                     (c.connected ? u'y' : u'n'));
    return lines;
}

} // namespace

TEST(BindingConnections, EachBindingToAWorkerIsConnectedOnlyWhileItsEntryIsLive)
{
    using K = BindingKind;
    const QList<WorkerBinding> bindings{
        reaching(K::d1, "DB", "main", nullptr),                    // reaches no Worker
        reaching(K::queue, "JOBS", "jobs", nullptr),               // consumed by a live Worker
        reaching(K::queue, "MAIL", "mail", nullptr),               // consumed here
        reaching(K::queue, "LOST", "lost", nullptr),               // consumed by a stale one
        reaching(K::queue, "mail", "consumer", nullptr),           // this Worker's own consumer
        reaching(K::durableObject, "ROOM", "Room", nullptr),       // a class of its own
        reaching(K::durableObject, "CART", "Cart", "shop"),        // another script, live
        reaching(K::service, "AUTH", "auth", "auth"),              // registered but stale
        reaching(K::service, "SELF", "web", "web"),                // itself: always connected
        reaching(K::tailConsumer, "log-sink", nullptr, "log-sink") // not registered at all
    };
    const QList<DevRegistryEntry> entries{entry("auth", false, {QStringLiteral("lost")}),
                                          entry("shop", true, {QStringLiteral("jobs")})};
    EXPECT_EQ(summary(bindingConnections(bindings, QStringLiteral("web"), entries)),
              (QStringList{QStringLiteral("JOBS@jobs=shop:y"), QStringLiteral("MAIL@mail=web:y"),
                           QStringLiteral("LOST@lost=:n"), QStringLiteral("CART=shop:y"),
                           QStringLiteral("AUTH=auth:n"), QStringLiteral("SELF=web:y"),
                           QStringLiteral("log-sink=log-sink:n")}));
    // A Worker without a name of its own reaches nothing through an empty name.
    EXPECT_EQ(summary(bindingConnections({reaching(K::service, "X", "", "")}, QString(), {})),
              QStringList{QStringLiteral("X=:n")});
}
