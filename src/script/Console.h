#pragma once

#include <deque>
#include <string>

namespace vantor {

class ScriptVM;

// The one-line Lua console of the running game: the line being typed, the
// statements typed before (kept across level loads) and the scroll-back of
// results, errors and the scripts' print output. Knows no keys and draws
// nothing; the engine keys edit it and an InfoBox shows text().
class Console {
public:
    static constexpr size_t kHistoryLength = 100;
    static constexpr size_t kScrollBackLines = 20;

    // Statements run in `vm` (not owned; the application's "lua" state,
    // which is reopened, never replaced, at level loads).
    explicit Console(ScriptVM& vm) : vm_(vm) {}

    void setOpen(bool open) { open_ = open; }
    bool isOpen() const { return open_; }

    // Editing the line: a typed character (UTF-8), the key that erases the
    // last character, and walking the history (Up: older, Down: newer; past
    // the newest the line is empty again).
    void type(const std::string& character);
    void erase();
    void older();
    void newer();

    // Enter: runs the line, adds it to the history and it and its results
    // (or its error) to the scroll-back and the log; clears the line.
    void submit();

    // A line of output (print) for the scroll-back.
    void addOutput(const std::string& line);

    const std::string& line() const { return line_; }
    const std::deque<std::string>& history() const { return history_; }
    // The scroll-back, oldest first, then the prompt with the line.
    std::string text() const;

private:
    ScriptVM& vm_;
    bool open_ = false;
    std::string line_;
    std::deque<std::string> history_;  // oldest first
    size_t browsing_ = 0;              // index into history_; size() when not browsing
    std::deque<std::string> scrollBack_;
};

}  // namespace vantor
