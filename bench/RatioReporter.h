#pragma once
// A console reporter that also keeps each run's real time by name, so a
// benchmark program can print the ratio of two runs after they ran.
#include <benchmark/benchmark.h>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    // The time of the run whose name starts with the registered name (the
    // library appends its options to it); 0 when it did not run.
    double Time(const std::string& name) const
    {
        for (const auto& [runName, time] : times_)
            if (runName.compare(0, name.size(), name) == 0)
                return time;
        return 0;
    }

private:
    std::map<std::string, double> times_;
};
