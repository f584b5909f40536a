// The UI's reading of the plugin FIFO on arbitrary bytes, without a display.
#include "pluginmessagereader.h"

#include <cstdint>
#include <cstdlib>

namespace {
struct Checker : PluginMessageHandler {
    size_t records = 0;
    bool ended = false;
    void parameter(int32_t, float) override { note(); }
    void open(unsigned long) override { note(); }
    void terminate() override
    {
        note();
        ended = true;
    }
    void unhandled() override
    {
        if (ended)
            std::abort(); // nothing is reported after the walk stopped
        ended = true;
    }
    void note()
    {
        if (ended)
            std::abort();
        ++records;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Checker checker;
    readPluginMessages(data, size, checker);
    if (checker.records > size) // every record takes at least one byte
        std::abort();
    return 0;
}
