#include "script/ErrorPanel.h"

#include "overlay/OverlayMgr.h"

namespace vantor {

namespace {

const char* const kErrorTitle = "Scripting error\n";
// Top-left corner of the error panel, virtual pixels.
constexpr int kErrorPanelX = 20;
constexpr int kErrorPanelY = 10;

}  // namespace

void ErrorPanel::show(OverlayMgr& overlays, const std::string& message) {
    if (!panelName_.empty()) {
        overlays.destroyPanel(panelName_);
        panelName_.clear();
    }
    panelName_ = overlays.createPanel(kErrorTitle + message, kErrorPanelX, kErrorPanelY);
}

}  // namespace vantor
