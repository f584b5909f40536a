#include "summary.h"

#include "cases.h"

#include <cstdarg>
#include <cstdio>
#include <unistd.h>

namespace pl3bench {

namespace {

constexpr const char* kMedian = "median";

std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string formatted(const char* format, ...)
{
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

const char* verdict(bool met)
{
    return met ? "within the target" : "ABOVE the target";
}

} // namespace

SummaryReporter::SummaryReporter()
    : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
{
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        const std::string aggregate = run.run_type == Run::RT_Aggregate ? run.aggregate_name : "";
        Result& result = results_[{run.run_name.function_name, aggregate}];
        result.error = run.error_occurred ? run.error_message : "";
        result.counters = run.counters;
    }
}

std::vector<std::string> SummaryReporter::failures() const
{
    std::vector<std::string> failed;
    for (const auto& [key, result] : results_)
        if (!result.error.empty()) failed.push_back(key.first + ": " + result.error);
    return failed;
}

std::optional<double> SummaryReporter::aggregateCounter(const std::string& name,
                                                        const std::string& aggregate,
                                                        const std::string& counterName) const
{
    const auto found = results_.find({name, aggregate});
    if (found == results_.end() || !found->second.error.empty()) return std::nullopt;
    const auto value = found->second.counters.find(counterName);
    if (value == found->second.counters.end()) return std::nullopt;
    return value->second.value;
}

std::optional<double> SummaryReporter::counter(const std::string& name,
                                               const std::string& counterName) const
{
    if (results_.count({name, kMedian})) return aggregateCounter(name, kMedian, counterName);
    return aggregateCounter(name, "", counterName);
}

void SummaryReporter::printSummary(std::ostream& out) const
{
    out << "\nSummary of this run (ratios are to the copy baseline measured in it)\n";
    printThroughput(out);
    printCaptureBlock(out);
    printResumeMemory(out);
    out.flush();
}

std::optional<double> SummaryReporter::nsPerFrame(const std::string& name) const
{
    const std::optional<double> seconds = counter(name, kTimePerFrame);
    if (!seconds) return std::nullopt;
    return *seconds * 1e9;
}

void SummaryReporter::printThroughput(std::ostream& out) const
{
    const SessionSettings& settings = kThroughputSettings;
    out << formatted("processReplacing, %d-frame blocks at %.0f Hz and %.0f BPM:\n",
                     settings.blockFrames, settings.sampleRate, settings.tempo);
    const std::optional<double> baseline = nsPerFrame(kCopyBaselineName);
    const auto row = [&](const char* description, std::optional<double> perFrame) {
        if (!perFrame) {
            out << formatted("  %-40s not measured\n", description);
            return;
        }
        out << formatted("  %-40s %9.3f ns/frame", description, *perFrame);
        if (baseline) out << formatted("  %7.1fx", *perFrame / *baseline);
        out << '\n';
    };
    row("copy baseline (memcpy of both channels)", baseline);
    for (const ThroughputCase& which : kThroughputCases)
        row(which.description, nsPerFrame(which.name));

    out << formatted("Target: loop playback with no effect at most %.0fx the copy baseline\n",
                     kLoopToCopyTarget);
    for (const ThroughputCase& which : kThroughputCases) {
        const std::optional<double> perFrame = nsPerFrame(which.name);
        if (which.kind != CaseKind::Looping || which.loop.fxOn || !perFrame || !baseline) continue;
        const double ratio = *perFrame / *baseline;
        out << formatted("  %-40s %7.1fx  %s\n", which.description, ratio,
                         verdict(ratio <= kLoopToCopyTarget));
    }
}

void SummaryReporter::printCaptureBlock(std::ostream& out) const
{
    const SessionSettings& settings = kCaptureSettings;
    out << formatted("Worst block: the capture block of a \"1 bar\" loop (%.0f frames copied), "
                     "%.0f BPM, %.0f Hz, %d-frame blocks:\n",
                     kBeatsPerBar * settings.beatFrames(), settings.tempo, settings.sampleRate,
                     settings.blockFrames);
    const auto line = [&](const char* clock, const std::string& counterName) {
        const std::optional<double> worst =
            aggregateCounter(kCaptureBlockName, kWorstStatistic, counterName);
        const std::optional<double> median =
            aggregateCounter(kCaptureBlockName, kMedian, counterName);
        if (!worst || !median) {
            out << formatted("  %s: not measured\n", clock);
            return;
        }
        out << formatted("  %-10s worst %6.1f %%, median %5.1f %% of the block's %.3f ms over %d "
                         "fresh engines: %s\n",
                         clock, 100.0 * *worst, 100.0 * *median, 1000.0 * settings.blockSeconds(),
                         kCaptureRepetitions, verdict(*worst <= kCaptureBlockTarget));
    };
    out << formatted("Target: at most %.0f %% of the block on the wall clock; the thread's CPU "
                     "clock leaves out time lost to other processes\n",
                     100.0 * kCaptureBlockTarget);
    line("wall clock", kBlockFraction);
    line("CPU clock", kBlockCpuFraction);
}

void SummaryReporter::printResumeMemory(std::ostream& out) const
{
    out << "Resident memory across effMainsChanged(1) (resume maps 128 MiB):\n";
    const std::optional<double> delta = counter(kResumeMemoryName, kRssDeltaMiB);
    if (!delta) {
        out << "  not measured\n";
        return;
    }
    out << formatted("  %+.3f MiB; target at most %.0f MiB: %s\n", *delta, kResumeMemoryTargetMiB,
                     verdict(*delta <= kResumeMemoryTargetMiB));
}

} // namespace pl3bench
