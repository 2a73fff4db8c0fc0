#include "supervision/external/proc_stat.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

TEST(ProcStat, NamesWithParenthesesAndSpacesDoNotShiftTheFields)
{
    // A command may name itself anything, ") S 1 1" included; the fields follow the last ')'.
    const auto stat = parseProcStat("4242 (a) S 1 1 (x) t 7 4240 4239 0 -1 4194560 10 0 0 0 "
                                    "123 45 6 7 20 0 3 0 98765 1 1\n");
    ASSERT_TRUE(stat);
    EXPECT_EQ(stat->name, QByteArray("a) S 1 1 (x"));
    EXPECT_EQ(stat->state, 't');
    EXPECT_EQ(stat->ppid, 7);
    EXPECT_EQ(stat->pgid, 4240);
    EXPECT_EQ(stat->session, 4239);
    EXPECT_EQ(stat->userTicks, 123u);
    EXPECT_EQ(stat->systemTicks, 45u);
    EXPECT_EQ(stat->childUserTicks, 6u);
    EXPECT_EQ(stat->childSystemTicks, 7u);
    EXPECT_EQ(stat->threads, 3);
    EXPECT_EQ(stat->startTicks, 98765u);
    EXPECT_EQ(stat->residentPages, 1u);
    EXPECT_TRUE(stat->living());

    EXPECT_EQ(parseProcStat(""), std::nullopt);
    EXPECT_EQ(parseProcStat("1 init) S 0 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 9"), std::nullopt);
    EXPECT_EQ(parseProcStat("1 (init) S 0 1"), std::nullopt); // truncated
    EXPECT_EQ(parseProcStat("1 (x) S a 1 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 9"), std::nullopt);
    EXPECT_EQ(parseProcStat("1 (x) SS 0 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 9"), std::nullopt);
    EXPECT_EQ(parseProcStat("1 (x) S 0 -1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 9"), std::nullopt);
}

TEST(ProcStat, ReadsLivingProcessesZombiesAndGoneOnes)
{
    std::thread second([] { ::usleep(200 * 1000); });
    const auto self = readProcStat(::getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->ppid, ::getppid());
    EXPECT_EQ(self->pgid, ::getpgrp());
    EXPECT_EQ(self->session, ::getsid(0));
    EXPECT_GE(self->threads, 2);
    EXPECT_TRUE(self->living());
    second.join();

    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    // Not reaped yet: a zombie, which is no longer living.
    std::optional<ProcStat> ended;
    for (int i = 0; i < 500 && !(ended && !ended->living()); ++i) {
        ::usleep(10 * 1000);
        ended = readProcStat(child);
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->state, 'Z');
    EXPECT_EQ(ended->ppid, ::getpid());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(readProcStat(child), std::nullopt);
    EXPECT_EQ(readProcStat(0), std::nullopt);
}

} // namespace
