#include "desktop/termination_signals.h"
#include "support/wait_until.h"

#include <QSignalSpy>

#include <csignal>
#include <gtest/gtest.h>

TEST(TerminationSignals, EachSignalArrivesOnTheEventLoopAndTheDefaultsComeBack)
{
    {
        TerminationSignals watcher;
        ASSERT_TRUE(watcher.isActive());
        QSignalSpy received(&watcher, &TerminationSignals::received);
        for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
            ASSERT_EQ(::raise(signalNumber), 0);
        // Nothing is emitted inside the handler: only the event loop delivers.
        EXPECT_EQ(received.size(), 0);
        WAIT_UNTIL(received.size() == 3, 5000);
        EXPECT_EQ(received[0][0].toInt(), SIGTERM);
        EXPECT_EQ(received[1][0].toInt(), SIGINT);
        EXPECT_EQ(received[2][0].toInt(), SIGHUP);
    }
    struct sigaction current = {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}
