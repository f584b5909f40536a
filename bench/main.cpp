// The benchmarks of the audio path, run through the real plug-in module in the
// test host, followed by a summary that relates the cases to each other.
// Exits non-zero only when a case could not be measured (the plug-in did not
// reach the state the case needs), never because of a timing.
#include "benchmarks.h"
#include "summary.h"

#include <benchmark/benchmark.h>

#include <iostream>

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    pl3bench::registerThroughputBenchmarks();
    pl3bench::registerCaptureBlockBenchmark();
    pl3bench::registerResumeMemoryBenchmark();

    pl3bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!reporter.anyRan()) return 0;
    reporter.printSummary(std::cout);
    const auto failures = reporter.failures();
    for (const std::string& failure : failures)
        std::cout << "not measured: " << failure << '\n';
    return failures.empty() ? 0 : 1;
}
