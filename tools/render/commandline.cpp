#include "commandline.h"

#include "numbers.h"
#include "rendererror.h"

#include <functional>
#include <map>
#include <optional>

namespace pl3render {

namespace {

[[noreturn]] void usage(const std::string& message)
{
    throw UsageError(message + " (see --help)");
}

// Walks the arguments; an option's value is either the next argument or
// follows '=' in the same one (--tempo=90).
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool done() const { return next_ >= arguments_.size(); }
    std::string take() { return arguments_[next_++]; }

    std::string value(const std::string& option, std::optional<std::string> inlineValue)
    {
        if (inlineValue) return *inlineValue;
        if (done()) usage(option + " needs a value");
        return take();
    }

private:
    const std::vector<std::string>& arguments_;
    std::size_t next_ = 0;
};

double nonNegative(const std::string& option, const std::string& text)
{
    const auto parsed = parseDouble(trim(text));
    if (!parsed || *parsed < 0.0)
        usage(option + " takes a number of at least 0, not '" + text + "'");
    return *parsed;
}

double tempo(const std::string& option, const std::string& text)
{
    const auto parsed = parseDouble(trim(text));
    if (!parsed || *parsed <= 0.0 || *parsed > kMaxTempo)
        usage(option + " takes a number above 0 and at most " + formatNumber(kMaxTempo) +
              ", not '" + text + "'");
    return *parsed;
}

std::int32_t blockSize(const std::string& option, const std::string& text)
{
    const auto parsed = parseInteger(trim(text));
    if (!parsed || *parsed < 1 || *parsed > CommandLine::kMaxBlockSize)
        usage(option + " takes a whole number of frames from 1 to " +
              std::to_string(CommandLine::kMaxBlockSize) + ", not '" + text + "'");
    return static_cast<std::int32_t>(*parsed);
}

using Flag = std::function<void(CommandLine&)>;
using Valued = std::function<void(CommandLine&, const std::string& option, const std::string&)>;

const std::map<std::string, Flag>& flags()
{
    static const std::map<std::string, Flag> table = {
        {"--help", [](CommandLine& c) { c.help = true; }},
        {"-h", [](CommandLine& c) { c.help = true; }},
        {"--list-parameters", [](CommandLine& c) { c.listParameters = true; }},
        {"--quiet", [](CommandLine& c) { c.quiet = true; }},
        {"-q", [](CommandLine& c) { c.quiet = true; }},
        {"--exact", [](CommandLine& c) { c.exact = true; }},
        {"--no-tempo", [](CommandLine& c) { c.tempoValid = false; }},
        {"--no-ppq", [](CommandLine& c) { c.ppqValid = false; }},
        {"--no-time-info", [](CommandLine& c) { c.timeInfo = false; }},
    };
    return table;
}

void addEvent(CommandLine& c, const std::string& text)
{
    try {
        c.events.push_back(parseEvent(text, "event " + std::to_string(c.events.size() + 1)));
    } catch (const UsageError&) {
        throw;
    } catch (const RenderError& error) {
        throw UsageError(error.what());
    }
}

const std::map<std::string, Valued>& valuedOptions()
{
    static const std::map<std::string, Valued> table = {
        {"--plugin", [](CommandLine& c, auto&, const std::string& v) { c.plugin = v; }},
        {"--block",
         [](CommandLine& c, auto& o, const std::string& v) { c.blockSize = blockSize(o, v); }},
        {"--tempo", [](CommandLine& c, auto& o, const std::string& v) { c.tempo = tempo(o, v); }},
        {"--start",
         [](CommandLine& c, auto& o, const std::string& v) { c.startBeat = nonNegative(o, v); }},
        {"--preroll", [](CommandLine& c, auto& o,
                         const std::string& v) { c.prerollSeconds = nonNegative(o, v); }},
        {"--at", [](CommandLine& c, auto&, const std::string& v) { addEvent(c, v); }},
        {"--timeline",
         [](CommandLine& c, auto&, const std::string& v) { c.timelineFiles.push_back(v); }},
        {"--write-timeline",
         [](CommandLine& c, auto&, const std::string& v) { c.writeTimeline = v; }},
    };
    return table;
}

void addPositional(CommandLine& c, const std::string& argument)
{
    if (c.input.empty())
        c.input = argument;
    else if (c.output.empty())
        c.output = argument;
    else
        addEvent(c, argument);
}

// Returns false for an argument that is no option.
bool applyOption(CommandLine& c, ArgumentReader& reader, const std::string& argument)
{
    if (argument.size() < 2 || argument[0] != '-') return false;
    if (const auto flag = flags().find(argument); flag != flags().end()) {
        flag->second(c);
        return true;
    }
    const auto equals = argument.find('=');
    const std::string option = argument.substr(0, equals);
    std::optional<std::string> inlineValue;
    if (equals != std::string::npos) inlineValue = argument.substr(equals + 1);
    const auto valued = valuedOptions().find(option);
    if (valued == valuedOptions().end()) usage("unknown option '" + argument + "'");
    valued->second(c, option, reader.value(option, inlineValue));
    return true;
}

void requireFiles(const CommandLine& c)
{
    if (c.input.empty() && c.writeTimeline.empty() && !c.listParameters)
        usage("no input file given");
    if (!c.input.empty() && c.output.empty()) usage("no output file given after '" + c.input + "'");
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine c;
    ArgumentReader reader(arguments);
    bool optionsEnded = false;
    while (!reader.done()) {
        const std::string argument = reader.take();
        if (!optionsEnded && argument == "--")
            optionsEnded = true;
        else if (optionsEnded || !applyOption(c, reader, argument))
            addPositional(c, argument);
        if (c.help) return c;
    }
    requireFiles(c);
    return c;
}

} // namespace pl3render
