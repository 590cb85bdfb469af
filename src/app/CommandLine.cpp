#include "app/CommandLine.h"

#include <charconv>

namespace vantor {

std::string usageText() {
    return "usage: vantor [options]\n"
           "  --level FILE     start with this level instead of setup.startlevel\n"
           "  --headless       run without a window, render system, input or sound\n"
           "                   device, one tick per frame, as fast as possible; the\n"
           "                   log also goes to standard output and the exit code is\n"
           "                   1 when a script error was reported, else 0\n"
           "  --ticks N        end the run after N simulation ticks (20 ms each)\n"
           "  --record FILE    write every input event and its tick to FILE\n"
           "  --replay FILE    play the level and input events of FILE back\n"
           "  --help           show this text and exit\n"
           "  --version        show the engine's version and exit\n";
}

namespace {

// Options that take a value, and where it goes.
std::string* textOption(const std::string& name, CommandLine& out) {
    if (name == "--level") {
        return &out.level;
    }
    if (name == "--record") {
        return &out.recordFile;
    }
    if (name == "--replay") {
        return &out.replayFile;
    }
    return nullptr;
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        // --name=value as well as --name value.
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inlineValue = true;
        }
        const bool takesValue = textOption(name, out) || name == "--ticks";
        const bool isFlag =
            name == "--headless" || name == "--help" || name == "-h" || name == "--version";
        if (!takesValue && !isFlag) {
            error = "unknown option '" + args[i] + "'";
            return false;
        }
        if (isFlag && inlineValue) {
            error = "option " + name + " takes no value";
            return false;
        }
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (takesValue && value.empty()) {
            error = "option " + name + " needs a value";
            return false;
        }
        if (std::string* text = textOption(name, out)) {
            *text = value;
        } else if (name == "--ticks") {
            const char* end = value.data() + value.size();
            const auto [stop, code] = std::from_chars(value.data(), end, out.ticks);
            if (code != std::errc() || stop != end || out.ticks == 0) {
                error = "--ticks needs a whole number above 0, not '" + value + "'";
                return false;
            }
        } else if (name == "--headless") {
            out.headless = true;
        } else if (name == "--help" || name == "-h") {
            out.help = true;
        } else {
            out.version = true;
        }
    }
    if (!out.recordFile.empty() && !out.replayFile.empty()) {
        error = "--record and --replay cannot be used together";
        return false;
    }
    if (!out.replayFile.empty() && !out.level.empty()) {
        error = "--replay starts the recorded level; --level cannot be used with it";
        return false;
    }
    return true;
}

}  // namespace vantor
