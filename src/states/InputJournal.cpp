#include "states/InputJournal.h"

#include <OISKeyboard.h>
#include <OISMouse.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "app/GameApp.h"
#include "states/GameState.h"

namespace vantor {

namespace {

constexpr const char* kMagic = "vantor-input";
constexpr int kFormatVersion = 1;
constexpr const char* kButtonText = "Button: ";
constexpr const char* kSetupTable = "setup";

// How each kind is written, and how many numbers follow it.
struct KindName {
    InputEvent::Kind kind;
    const char* name;
    size_t fields;
};
constexpr KindName kKinds[] = {
    {InputEvent::Kind::KeyPressed, "key+", 2},      {InputEvent::Kind::KeyReleased, "key-", 2},
    {InputEvent::Kind::MouseMoved, "mouse", 7},     {InputEvent::Kind::MousePressed, "mouse+", 8},
    {InputEvent::Kind::MouseReleased, "mouse-", 8}, {InputEvent::Kind::ButtonPressed, "joy+", 1},
    {InputEvent::Kind::ButtonReleased, "joy-", 1},  {InputEvent::Kind::AxisMoved, "axis", 2},
};

const KindName& kindName(InputEvent::Kind kind) {
    for (const KindName& entry : kKinds) {
        if (entry.kind == kind) {
            return entry;
        }
    }
    return kKinds[0];
}

bool isMouse(InputEvent::Kind kind) {
    return kind == InputEvent::Kind::MouseMoved || kind == InputEvent::Kind::MousePressed ||
           kind == InputEvent::Kind::MouseReleased;
}

// The numbers of an event line after its kind, in the order written.
std::vector<long long> fieldsOf(const InputEvent& e) {
    std::vector<long long> fields;
    switch (e.kind) {
        case InputEvent::Kind::KeyPressed:
        case InputEvent::Kind::KeyReleased:
            return {e.code, e.text};
        case InputEvent::Kind::MousePressed:
        case InputEvent::Kind::MouseReleased:
            fields.push_back(e.code);
            [[fallthrough]];
        case InputEvent::Kind::MouseMoved:
            fields.insert(fields.end(),
                          {e.abs[0], e.abs[1], e.abs[2], e.rel[0], e.rel[1], e.rel[2], e.buttons});
            return fields;
        case InputEvent::Kind::ButtonPressed:
        case InputEvent::Kind::ButtonReleased:
            return {e.code};
        case InputEvent::Kind::AxisMoved:
            return {e.code, e.value};
    }
    return fields;
}

// Setup strings are written on one line: backslash, newline and carriage
// return are escaped.
std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

bool unescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        if (text[i] == '\\') {
            out += '\\';
        } else if (text[i] == 'n') {
            out += '\n';
        } else if (text[i] == 'r') {
            out += '\r';
        } else {
            return false;
        }
    }
    return true;
}

bool isKeyName(const std::string& key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

template <typename T>
bool parseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [stop, code] = std::from_chars(text.data(), end, value);
    return code == std::errc() && stop == end;
}

// A number written with %.17g reads back to the same double.
std::string formatNumber(lua_Number value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));
    return text;
}

bool parseDouble(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* stop = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &stop);
    return errno == 0 && stop == text.c_str() + text.size();
}

// The setup table's number, string and boolean values under plain names,
// sorted by name. Raw reads: nothing here may run a metamethod.
std::vector<std::array<std::string, 3>> readSetup(lua_State* L) {
    std::vector<std::array<std::string, 3>> values;
    lua_pushstring(L, kSetupTable);
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (lua_istable(L, -1)) {
        lua_pushnil(L);
        while (lua_next(L, -2) != 0) {
            if (lua_type(L, -2) == LUA_TSTRING) {
                const std::string key = lua_tostring(L, -2);
                const int type = lua_type(L, -1);
                if (!isKeyName(key)) {
                    // not writable on one line
                } else if (type == LUA_TNUMBER) {
                    values.push_back({key, "number", formatNumber(lua_tonumber(L, -1))});
                } else if (type == LUA_TSTRING) {
                    size_t length = 0;
                    const char* text = lua_tolstring(L, -1, &length);
                    values.push_back({key, "string", escape(std::string(text, length))});
                } else if (type == LUA_TBOOLEAN) {
                    values.push_back({key, "boolean", lua_toboolean(L, -1) ? "true" : "false"});
                }
            }
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
    std::sort(values.begin(), values.end());
    return values;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) {
        words.push_back(word);
    }
    return words;
}

}  // namespace

// Reads a recording line by line; every refusal names the line.
class JournalReader {
public:
    explicit JournalReader(InputJournal& journal) : journal_(journal) {}

    bool read(std::istream& in, std::string& error) {
        std::string line;
        bool inEvents = false;
        bool ended = false;
        while (std::getline(in, line)) {
            ++lineNumber_;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (lineNumber_ == 1) {
                if (!readMagic(line, error)) {
                    return false;
                }
                continue;
            }
            const std::vector<std::string> words = splitWords(line);
            if (ended) {
                return fail(error, "nothing may follow the end line");
            }
            if (!inEvents) {
                if (line == "events") {
                    if (journal_.level_.empty()) {
                        return fail(error, "the start level is missing");
                    }
                    inEvents = true;
                } else if (!readHeaderLine(line, words, error)) {
                    return false;
                }
                continue;
            }
            if (words.size() == 2 && words[0] == "end") {
                uint64_t tick = 0;
                if (!parseNumber(words[1], tick) || tick < lastTick_) {
                    return fail(error, "bad end tick '" + words[1] + "'");
                }
                journal_.endTick_ = tick;
                ended = true;
            } else if (!readEvent(words, error)) {
                return false;
            }
        }
        if (lineNumber_ == 0) {
            return fail(error, "the file is empty");
        }
        if (!inEvents) {
            return fail(error, "the file ends before its events");
        }
        if (!ended) {
            journal_.endTick_ = lastTick_;
        }
        return true;
    }

private:
    bool fail(std::string& error, const std::string& why) {
        error = "line " + std::to_string(lineNumber_) + ": " + why;
        return false;
    }

    bool readMagic(const std::string& line, std::string& error) {
        const std::vector<std::string> words = splitWords(line);
        if (words.empty() || words[0] != kMagic) {
            return fail(error, "not a Vantor input recording");
        }
        if (words.size() != 2 || words[1] != std::to_string(kFormatVersion)) {
            return fail(error, "unsupported recording format '" + line + "'");
        }
        return true;
    }

    bool readHeaderLine(const std::string& line, const std::vector<std::string>& words,
                        std::string& error) {
        if (line.rfind("level ", 0) == 0 && journal_.level_.empty()) {
            if (!unescape(line.substr(6), journal_.level_) || journal_.level_.empty()) {
                return fail(error, "bad start level");
            }
            return true;
        }
        if (words.size() >= 3 && words[0] == "setup" && isKeyName(words[1])) {
            // The value is the rest of the line after "setup KEY TYPE ".
            size_t space = line.find(' ');
            space = line.find(' ', space + 1);
            space = line.find(' ', space + 1);
            const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
            std::string text;
            double number = 0;
            const bool valid = (words[2] == "number" && parseDouble(value, number)) ||
                               (words[2] == "string" && unescape(value, text)) ||
                               (words[2] == "boolean" && (value == "true" || value == "false"));
            if (!valid) {
                return fail(error, "bad setup value for '" + words[1] + "'");
            }
            journal_.setup_.push_back({words[1], words[2], value});
            return true;
        }
        return fail(error, "unknown header line '" + line + "'");
    }

    bool readEvent(const std::vector<std::string>& words, std::string& error) {
        if (words.size() < 2) {
            return fail(error, "an event needs a tick and a kind");
        }
        uint64_t tick = 0;
        if (!parseNumber(words[0], tick)) {
            return fail(error, "bad tick '" + words[0] + "'");
        }
        if (tick < lastTick_) {
            return fail(error, "tick " + words[0] + " comes before the tick of the line above");
        }
        const KindName* kind = nullptr;
        for (const KindName& entry : kKinds) {
            if (words[1] == entry.name) {
                kind = &entry;
            }
        }
        if (!kind) {
            return fail(error, "unknown event kind '" + words[1] + "'");
        }
        if (words.size() != kind->fields + 2) {
            return fail(error, std::string(kind->name) + " needs " + std::to_string(kind->fields) +
                                   " numbers");
        }
        std::vector<int> numbers;
        for (size_t i = 2; i < words.size(); ++i) {
            int number = 0;
            if (!parseNumber(words[i], number)) {
                return fail(error, "bad number '" + words[i] + "'");
            }
            numbers.push_back(number);
        }
        InputEvent event;
        event.kind = kind->kind;
        size_t at = 0;
        if (!isMouse(kind->kind) || kind->fields == 8) {
            event.code = numbers[at++];
        }
        // Key codes and buttons are small; anything else is not a recording of ours.
        const int maxCode = isMouse(kind->kind) ? 7 : 255;
        if (event.code < 0 || event.code > maxCode) {
            return fail(error, "code " + std::to_string(event.code) + " is out of range");
        }
        if (kind->kind == InputEvent::Kind::KeyPressed ||
            kind->kind == InputEvent::Kind::KeyReleased) {
            if (numbers[at] < 0) {
                return fail(error, "negative character code");
            }
            event.text = static_cast<unsigned>(numbers[at]);
        } else if (kind->kind == InputEvent::Kind::AxisMoved) {
            event.value = numbers[at];
        } else if (isMouse(kind->kind)) {
            for (int axis = 0; axis < 3; ++axis) {
                event.abs[axis] = numbers[at + static_cast<size_t>(axis)];
                event.rel[axis] = numbers[at + 3 + static_cast<size_t>(axis)];
            }
            event.buttons = numbers[at + 6];
        }
        lastTick_ = tick;
        journal_.events_.emplace_back(tick, event);
        return true;
    }

    InputJournal& journal_;
    int lineNumber_ = 0;
    uint64_t lastTick_ = 0;
};

std::unique_ptr<InputJournal> InputJournal::record(const std::string& path, std::string& error) {
    std::unique_ptr<InputJournal> journal(new InputJournal());
    journal->out_.open(path, std::ios::out | std::ios::trunc);
    if (!journal->out_) {
        error = "cannot write the recording " + path;
        return nullptr;
    }
    return journal;
}

std::unique_ptr<InputJournal> InputJournal::replay(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the recording " + path;
        return nullptr;
    }
    std::unique_ptr<InputJournal> journal(new InputJournal());
    journal->replaying_ = true;
    JournalReader reader(*journal);
    if (!reader.read(in, error)) {
        error = "the recording " + path + " is damaged or not a recording: " + error;
        return nullptr;
    }
    return journal;
}

void InputJournal::startApplication(lua_State* setup, const std::string& level) {
    if (!replaying_) {
        if (headerWritten_) {
            return;
        }
        headerWritten_ = true;
        writeLine(std::string(kMagic) + " " + std::to_string(kFormatVersion));
        writeLine("level " + escape(level));
        for (const auto& [key, type, value] : readSetup(setup)) {
            writeLine("setup " + key + " " + type + " " + value);
        }
        writeLine("events");
        return;
    }
    // A restarted application gets fresh held keys: its devices start empty.
    heldKeys_.clear();
    lua_pushstring(setup, kSetupTable);
    lua_rawget(setup, LUA_GLOBALSINDEX);
    if (!lua_istable(setup, -1)) {
        lua_pop(setup, 1);
        lua_newtable(setup);
        lua_pushstring(setup, kSetupTable);
        lua_pushvalue(setup, -2);
        lua_rawset(setup, LUA_GLOBALSINDEX);
    }
    for (const SetupValue& entry : setup_) {
        lua_pushstring(setup, entry.key.c_str());
        if (entry.type == "number") {
            double number = 0;
            parseDouble(entry.value, number);
            lua_pushnumber(setup, number);
        } else if (entry.type == "string") {
            std::string text;
            unescape(entry.value, text);
            lua_pushlstring(setup, text.data(), text.size());
        } else {
            lua_pushboolean(setup, entry.value == "true");
        }
        lua_rawset(setup, -3);
    }
    lua_pop(setup, 1);
}

void InputJournal::startFrame(uint64_t tick) {
    tick_ = tick;
    while (replaying_ && next_ < events_.size() && events_[next_].first <= tick) {
        const InputEvent& event = events_[next_++].second;
        if (event.kind == InputEvent::Kind::KeyPressed) {
            heldKeys_.insert(event.code);
        } else if (event.kind == InputEvent::Kind::KeyReleased) {
            heldKeys_.erase(event.code);
        }
        deliverInput(event);
    }
}

void InputJournal::write(const InputEvent& event) {
    if (replaying_) {
        return;
    }
    std::string line = std::to_string(tick_) + " " + kindName(event.kind).name;
    for (long long field : fieldsOf(event)) {
        line += " " + std::to_string(field);
    }
    writeLine(line);
}

void InputJournal::finish(uint64_t tick) {
    if (!replaying_ && headerWritten_) {
        writeLine("end " + std::to_string(tick));
    }
}

void InputJournal::writeLine(const std::string& line) {
    // Flushed line by line: a run that is killed keeps what it recorded.
    out_ << line << '\n';
    out_.flush();
}

void receiveInput(const InputEvent& event) {
    GameApp* app = getApp();
    if (InputJournal* journal = app ? app->getInputJournal() : nullptr) {
        if (journal->isReplay()) {
            return;
        }
        journal->write(event);
    }
    deliverInput(event);
}

void deliverInput(const InputEvent& event) {
    GameApp* app = getApp();
    if (!app) {
        return;
    }
    if (event.kind == InputEvent::Kind::ButtonPressed) {
        app->setDebugText(kButtonText + std::to_string(event.code));
        return;
    }
    GameState* state = app->getCurrentState();
    if (!state) {
        return;
    }
    if (event.kind == InputEvent::Kind::KeyPressed || event.kind == InputEvent::Kind::KeyReleased) {
        const OIS::KeyEvent key(nullptr, static_cast<OIS::KeyCode>(event.code), event.text);
        if (event.kind == InputEvent::Kind::KeyPressed) {
            state->keyPressed(key);
        } else {
            state->keyReleased(key);
        }
    } else if (event.kind == InputEvent::Kind::MouseMoved) {
        OIS::MouseState mouse;
        OIS::Axis* axes[3] = {&mouse.X, &mouse.Y, &mouse.Z};
        for (int axis = 0; axis < 3; ++axis) {
            axes[axis]->abs = event.abs[axis];
            axes[axis]->rel = event.rel[axis];
        }
        mouse.buttons = event.buttons;
        state->mouseMoved(OIS::MouseEvent(nullptr, mouse));
    }
    // Mouse buttons and the joystick's other events do nothing in the states.
}

}  // namespace vantor
