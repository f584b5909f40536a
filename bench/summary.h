// A console reporter that also keeps every result, so that once all cases
// have run the same process can state each case against the copy baseline
// and the targets of the worst block and of resident memory.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace pl3bench {

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    // In colour only on a terminal: logs and pipes get plain text.
    SummaryReporter();

    void ReportRuns(const std::vector<Run>& runs) override;

    bool anyRan() const { return !results_.empty(); }
    // Cases that reported an error instead of a measurement.
    std::vector<std::string> failures() const;
    // Figures only; a target missed is stated, never treated as a failure.
    void printSummary(std::ostream& out) const;

private:
    struct Result {
        std::string error; // empty when measured
        benchmark::UserCounters counters;
    };
    // By benchmark name and aggregate name ("" for a single run).
    using Key = std::pair<std::string, std::string>;

    // The median over repetitions where there are any, else the single run.
    std::optional<double> counter(const std::string& name, const std::string& counterName) const;
    std::optional<double> aggregateCounter(const std::string& name, const std::string& aggregate,
                                           const std::string& counterName) const;
    std::optional<double> nsPerFrame(const std::string& name) const;
    void printThroughput(std::ostream& out) const;
    void printCaptureBlock(std::ostream& out) const;
    void printResumeMemory(std::ostream& out) const;

    std::map<Key, Result> results_;
};

} // namespace pl3bench
