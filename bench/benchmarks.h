// Registration of every benchmark with the benchmark library, one function per
// source file; main calls them before running.
#pragma once

namespace pl3bench {

void registerThroughputBenchmarks();
void registerCaptureBlockBenchmark();
void registerResumeMemoryBenchmark();

} // namespace pl3bench
