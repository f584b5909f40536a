// The plug-in's reading of the UI FIFO on arbitrary bytes.
#include "uimessagereader.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {
struct Checker : uimessages::Handler {
    size_t applied = 0;
    void parameter(int32_t, float) override { ++applied; }
    void unhandled(uint8_t) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Checker checker;
    uimessages::walk(data, size, checker);
    // Every applied record is nine whole bytes of the read.
    if (checker.applied * 9 > size)
        std::abort();
    return 0;
}
