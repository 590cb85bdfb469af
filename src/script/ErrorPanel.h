#pragma once

#include <string>

namespace vantor {

class OverlayMgr;

// The on-screen half of script error reporting: keeps at most one error panel
// standing, each new error replacing the previous one.
//
// The remembered name is only meaningful to the OverlayMgr that made it: keep
// the ErrorPanel no longer than that manager's application, since a new one
// numbers its panels from "Panel_0" again.
class ErrorPanel {
public:
    // Destroys the previous error panel (if the overlays were cleared since,
    // that does nothing) and shows "Scripting error" and the message at
    // (20, 10) of the virtual screen.
    void show(OverlayMgr& overlays, const std::string& message);

    // Name of the standing error panel; empty before the first error.
    const std::string& getPanelName() const { return panelName_; }

private:
    std::string panelName_;
};

}  // namespace vantor
