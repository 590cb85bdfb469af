#pragma once

#include <lua.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vantor {

// One input event as the game states receive it, independent of the device
// library so that it can be written to a file and read back.
struct InputEvent {
    enum class Kind {
        KeyPressed,
        KeyReleased,
        MouseMoved,
        MousePressed,
        MouseReleased,
        ButtonPressed,  // joystick
        ButtonReleased,
        AxisMoved,
    };
    Kind kind = Kind::KeyPressed;
    int code = 0;       // key code, mouse button, joystick button or axis
    unsigned text = 0;  // character of a key press; 0 on releases
    int value = 0;      // joystick axis position
    // Mouse X, Y and wheel: absolute, and relative to the previous event.
    int abs[3] = {0, 0, 0};
    int rel[3] = {0, 0, 0};
    int buttons = 0;  // mouse buttons held, one bit per button
};

// Hands an event from the input devices to the current game state: written to
// the running recording first, and dropped while a recording is replayed (the
// replay alone is the player then).
void receiveInput(const InputEvent& event);

// Hands an event to the current game state, the way the input handler does.
void deliverInput(const InputEvent& event);

// An input recording: a small text file with the start level, the setup
// values and every input event with the simulation tick it arrived in. One
// journal lives for the whole process, across restarts; the application
// reaches it through GameApp and owns nothing of it.
//
// The file:
//   vantor-input 1
//   level hub.lua
//   setup KEY number|string|boolean VALUE     (one a key, sorted)
//   events
//   TICK KIND FIELDS...                       (ticks never decrease)
//   end TICK                                  (when the recording ended)
class InputJournal {
public:
    // Opens `path` for a new recording; null with `error` set when it cannot.
    static std::unique_ptr<InputJournal> record(const std::string& path, std::string& error);
    // Reads and checks the whole recording; null with `error` set (the line
    // and what is wrong with it) for a damaged or foreign file.
    static std::unique_ptr<InputJournal> replay(const std::string& path, std::string& error);

    bool isReplay() const { return replaying_; }
    // The recorded start level (replays).
    const std::string& level() const { return level_; }
    // The tick the recording ended at: its end line, else its last event's.
    uint64_t endTick() const { return endTick_; }

    // An application read its setup (`setup` is that script state) and will
    // start `level`. A recording writes its header the first time; a replay
    // writes the recorded setup values over the setup table, every time.
    void startApplication(lua_State* setup, const std::string& level);
    // A frame begins before tick `tick` runs: live events that follow are
    // stamped with it, and a replay delivers its events up to that tick.
    void startFrame(uint64_t tick);
    // Whether a key is held, as the replayed events left it.
    bool isKeyDown(int keyCode) const { return heldKeys_.count(keyCode) != 0; }
    // Appends a live event to the recording.
    void write(const InputEvent& event);
    // Ends a recording at `tick`.
    void finish(uint64_t tick);

private:
    InputJournal() = default;
    void writeLine(const std::string& line);

    bool replaying_ = false;
    std::string level_;
    uint64_t tick_ = 0;
    uint64_t endTick_ = 0;
    // Recording.
    std::ofstream out_;
    bool headerWritten_ = false;
    // Replay: the setup values as "KEY", "TYPE", "VALUE" and the events.
    struct SetupValue {
        std::string key;
        std::string type;
        std::string value;
    };
    std::vector<SetupValue> setup_;
    std::vector<std::pair<uint64_t, InputEvent>> events_;
    size_t next_ = 0;
    std::set<int> heldKeys_;

    friend class JournalReader;
};

}  // namespace vantor
