#include "runs/port_allocation.h"

#include <QSet>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace PortAllocation;

namespace {

// A TCP socket bound to a loopback address; port 0 lets the system choose.
class Socket
{
public:
    Socket(int family, int port, bool reuse = true) : fd_(::socket(family, SOCK_STREAM, 0))
    {
        const int on = 1;
        if (reuse)
            ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (family == AF_INET6) {
            ::setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_loopback;
            address.sin6_port = htons(uint16_t(port));
            bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        } else {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(uint16_t(port));
            bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        }
    }
    explicit Socket(int fd) : fd_(fd), bound_(true) {}
    ~Socket() { close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool bound() const { return bound_; }
    int fd() const { return fd_; }
    int port() const
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        return address.ss_family == AF_INET6
                   ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                   : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }
    bool listen() { return ::listen(fd_, 4) == 0; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    bool bound_ = false;
};

// A probe that treats the ports in `busy` as taken and counts its calls.
struct FakeProbe
{
    QSet<int> busy;
    int calls = 0;
    PortProbe probe()
    {
        return [this](int port) {
            ++calls;
            return !busy.contains(port);
        };
    }
};

Project project(const QString& path, std::optional<int> port = {},
                std::optional<int> inspector = {})
{
    Project p;
    p.path = path;
    p.port = port;
    p.inspectorPort = inspector;
    return p;
}

} // namespace

TEST(PortProbe, ListenerOnIpv4OrIpv6MakesAPortBusy)
{
    Socket v4(AF_INET, 0);
    ASSERT_TRUE(v4.bound() && v4.listen());
    EXPECT_FALSE(isPortFree(v4.port()));
    const int port = v4.port();
    v4.close();
    EXPECT_TRUE(isPortFree(port));

    Socket v6(AF_INET6, 0);
    if (!v6.bound())
        GTEST_SKIP() << "no IPv6 loopback here";
    ASSERT_TRUE(v6.listen());
    EXPECT_FALSE(isPortFree(v6.port()));
}

TEST(PortProbe, PortOfAServerThatJustServedAConnectionIsFree)
{
    // The server closes the connection first, like an HTTP server does, so its side of the
    // connection stays in TIME_WAIT after the listener is gone.
    Socket listener(AF_INET, 0);
    ASSERT_TRUE(listener.bound() && listener.listen());
    const int port = listener.port();
    Socket client(AF_INET, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    ASSERT_EQ(::connect(client.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    Socket served(::accept(listener.fd(), nullptr, nullptr));
    ASSERT_GE(served.fd(), 0);
    served.close();
    char byte;
    EXPECT_EQ(::read(client.fd(), &byte, 1), 0); // the server's close arrived
    client.close();
    listener.close();

    Socket plain(AF_INET, port, false);
    EXPECT_FALSE(plain.bound()) << "the connection should linger in TIME_WAIT";
    EXPECT_TRUE(isPortFree(port));
}

TEST(PortSearch, SkipsExcludedAndBusyPortsAndFallsBackToTheFirst)
{
    FakeProbe fake{{8787, 8789}};
    EXPECT_EQ(findFreePort(8787, {8788}, fake.probe()), 8790);
    fake.calls = 0;
    EXPECT_EQ(findFreePort(65535, {}, fake.probe()), 65535);
    EXPECT_EQ(fake.calls, 0) << "above the highest port nothing is probed";
    FakeProbe allBusy;
    for (int port = 65000; port <= highestPort; ++port)
        allBusy.busy.insert(port);
    EXPECT_EQ(findFreePort(65000, {65001}, allBusy.probe()), 65000);
    EXPECT_EQ(allBusy.calls, highestPort - 65000);
}

TEST(ChoosePorts, SavedPortsStayWhileFreeAndNotSavedElsewhere)
{
    FakeProbe fake;
    const Project self = project("/p/a", 8800, 9300);
    std::optional<ChosenPorts> stored;
    const ChosenPorts chosen = choosePorts(
        self, {self, project("/p/b", 8787, 9230)}, std::nullopt,
        [&](const ChosenPorts& ports) { stored = ports; }, fake.probe());
    EXPECT_EQ(chosen, (ChosenPorts{8800, 9300}));
    EXPECT_EQ(stored, chosen);
}

TEST(ChoosePorts, BusyOrClashingSavedPortsMoveToTheFirstFreeUnsavedOnes)
{
    // Saved dev port busy; the next ports up are saved by other projects.
    FakeProbe fake{{8800}};
    const Project self = project("/p/a", 8800, 9230);
    const QList<Project> all{project("/p/b", 8787, 9231), self, project("/p/c", 8788)};
    EXPECT_EQ(choosePorts(self, all, std::nullopt, {}, fake.probe()), (ChosenPorts{8789, 9230}));

    // A saved port that another project saved too is given up even when free.
    const Project twin = project("/p/d", 8787, 9231);
    EXPECT_EQ(choosePorts(twin, all + QList<Project>{twin}, std::nullopt, {}, fake.probe()),
              (ChosenPorts{8789, 9232}));

    // An inspector port equal to the dev port is replaced.
    const Project same = project("/p/e", 9230, 9230);
    EXPECT_EQ(choosePorts(same, {same}, std::nullopt, {}, fake.probe()), (ChosenPorts{9230, 9231}));
}

TEST(ChoosePorts, ExplicitPortWinsWhenFreeEvenIfSavedElsewhere)
{
    FakeProbe fake{{8900}};
    const Project self = project("/p/a", 8800);
    const QList<Project> all{self, project("/p/b", 8790, 9230)};
    EXPECT_EQ(choosePorts(self, all, 8790, {}, fake.probe()).port, 8790);
    EXPECT_EQ(choosePorts(self, all, 8900, {}, fake.probe()).port, 8787) << "busy explicit port";
    EXPECT_EQ(choosePorts(self, all, 0, {}, fake.probe()).port, 8800) << "0 counts as absent";
}

TEST(ChoosePorts, ProjectsWithoutSavedPortsGetDistinctPortsOneAfterTheOther)
{
    FakeProbe fake;
    QList<Project> all{project("/p/a"), project("/p/b")};
    for (Project& p : all) {
        const ChosenPorts ports = choosePorts(
            p, all, std::nullopt,
            [&](const ChosenPorts& chosen) {
                p.port = chosen.port;
                p.inspectorPort = chosen.inspectorPort;
            },
            fake.probe());
        EXPECT_NE(ports.port, ports.inspectorPort);
    }
    EXPECT_EQ(all.at(0).port, 8787);
    EXPECT_EQ(all.at(0).inspectorPort, 9230);
    EXPECT_EQ(all.at(1).port, 8788);
    EXPECT_EQ(all.at(1).inspectorPort, 9231);
}

TEST(ChoosePorts, RealListenerOnTheSavedPortMovesTheProject)
{
    Socket listener(AF_INET, 0);
    ASSERT_TRUE(listener.bound() && listener.listen());
    const Project self = project("/p/a", listener.port(), 9230);
    const ChosenPorts chosen = choosePorts(self, {self}, std::nullopt, {});
    EXPECT_NE(chosen.port, listener.port());
    EXPECT_GE(chosen.port, firstDevPort);
    EXPECT_NE(chosen.inspectorPort, chosen.port);
}

TEST(MovingOffATakenPort, AvoidsActiveAddressesAndTheConflictingPort)
{
    FakeProbe fake{{8789}};
    EXPECT_EQ(portForMovingOff({8787}, 8788, fake.probe()), 8790);
    EXPECT_EQ(portForMovingOff({}, std::nullopt, fake.probe()), 8787);
}
