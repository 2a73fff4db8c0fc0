#pragma once

// How long the process manager waits before escalating. The defaults are the application's;
// tests may shorten them.
struct TerminationTiming
{
    int pollIntervalMs = 100;
    int termPolls = 50;                 // 5 s of SIGTERM before SIGKILL
    int killPolls = 20;                 // 2 s of SIGKILL before giving up
    int leftoverKillDelayMs = 3000;     // SIGKILL to a group's leftovers after its leader exits
    int exitAfterStreamsGraceMs = 2000; // longest wait for the last output before the exit report
};
