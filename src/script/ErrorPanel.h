#pragma once

#include <string>
#include <vector>

namespace vantor {

class OverlayMgr;

// The on-screen half of script error reporting: one panel listing the last
// few distinct errors, newest first, each with its traceback and how often it
// happened ("x37"), so that an error repeated every frame cannot push the
// first, real one off the screen.
//
// The remembered name is only meaningful to the OverlayMgr that made it: keep
// the ErrorPanel no longer than that manager's application, since a new one
// numbers its panels from "Panel_0" again.
class ErrorPanel {
public:
    // Errors listed at most; older ones drop off the end.
    static constexpr size_t kShownErrors = 5;
    // Traceback lines shown per error (the log gets them all).
    static constexpr size_t kShownFrames = 3;

    // Records an error (a message met before counts once more and moves to
    // the top) and, unless the list is hidden, replaces the standing panel by
    // one at (20, 10) of the virtual screen: "Scripting error" and the list,
    // wrapped to the screen's width. traceback: one "file:line" line per Lua
    // frame, newline-separated; may be empty.
    void show(OverlayMgr& overlays, const std::string& message, const std::string& traceback = "");

    // F2: hides the panel, or shows it again with the errors recorded since.
    void toggle(OverlayMgr& overlays);
    bool isHidden() const { return hidden_; }

    // A new level starts with an empty list (its overlays are already gone).
    void forget();

    // Name of the standing error panel; empty before the first error and
    // while hidden.
    const std::string& getPanelName() const { return panelName_; }

private:
    struct Entry {
        std::string message;
        std::string traceback;
        int count = 1;
    };

    void redraw(OverlayMgr& overlays);

    std::vector<Entry> entries_;  // newest first
    bool hidden_ = false;
    std::string panelName_;
};

}  // namespace vantor
