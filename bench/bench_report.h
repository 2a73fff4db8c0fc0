#pragma once

// A console reporter that also keeps each benchmark's mean real time per iteration (in
// milliseconds), so that a benchmark program can print ratios after the run.

#include <benchmark/benchmark.h>
#include <map>
#include <string>

class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    RecordingReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const double toMs = benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                                benchmark::GetTimeUnitMultiplier(run.time_unit);
            millis[run.run_name.function_name] = run.GetAdjustedRealTime() * toMs;
        }
    }

    double ms(const std::string& name) const
    {
        const auto it = millis.find(name);
        return it == millis.end() ? -1 : it->second;
    }

    std::map<std::string, double> millis;
};
