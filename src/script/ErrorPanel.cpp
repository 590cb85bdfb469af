#include "script/ErrorPanel.h"

#include <algorithm>
#include <sstream>

#include "overlay/DisplayText.h"
#include "overlay/OverlayMgr.h"

namespace vantor {

namespace {

const char* const kErrorTitle = "Scripting error";
// Top-left corner of the error panel, virtual pixels.
constexpr int kErrorPanelX = 20;
constexpr int kErrorPanelY = 10;
// Widest text line: the 800-pixel screen less the panel's position, its
// frame (20) and as much again on the right.
constexpr int kMaxTextWidth = 800 - 2 * kErrorPanelX - 20;

// Breaks one line into lines no wider than kMaxTextWidth, at blanks where it
// can and between characters (never inside a UTF-8 sequence) where a word
// alone is too wide.
void wrapLine(const OverlayMgr& overlays, const std::string& line, std::string& out) {
    std::string rest = line;
    while (overlays.measureText(rest).width > kMaxTextWidth) {
        // The longest prefix that fits, found by bisection over byte counts.
        size_t low = 1;
        size_t high = rest.size();
        while (low < high) {
            const size_t middle = (low + high + 1) / 2;
            if (overlays.measureText(rest.substr(0, middle)).width <= kMaxTextWidth) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        size_t cut = low;
        const size_t blank = rest.rfind(' ', cut);
        if (blank != std::string::npos && blank > 0) {
            cut = blank;
        }
        while (cut > 1 && cut < rest.size() && isUtf8ContinuationByte(rest[cut])) {
            --cut;
        }
        out += rest.substr(0, cut) + "\n";
        rest = rest.substr(cut < rest.size() && rest[cut] == ' ' ? cut + 1 : cut);
    }
    out += rest;
}

}  // namespace

void ErrorPanel::show(OverlayMgr& overlays, const std::string& message,
                      const std::string& traceback) {
    auto known = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry& entry) { return entry.message == message; });
    Entry entry{message, traceback, 1};
    if (known != entries_.end()) {
        entry.count = known->count + 1;
        entries_.erase(known);
    }
    entries_.insert(entries_.begin(), std::move(entry));
    if (entries_.size() > kShownErrors) {
        entries_.resize(kShownErrors);
    }
    redraw(overlays);
}

void ErrorPanel::toggle(OverlayMgr& overlays) {
    hidden_ = !hidden_;
    redraw(overlays);
}

void ErrorPanel::forget() {
    entries_.clear();
    panelName_.clear();
}

void ErrorPanel::redraw(OverlayMgr& overlays) {
    if (!panelName_.empty()) {
        // If the overlays were cleared since, that does nothing.
        overlays.destroyPanel(panelName_);
        panelName_.clear();
    }
    if (hidden_ || entries_.empty()) {
        return;
    }
    std::string text = kErrorTitle;
    for (const Entry& entry : entries_) {
        std::string line = entry.message;
        if (entry.count > 1) {
            line += "  x" + std::to_string(entry.count);
        }
        std::istringstream frames(entry.traceback);
        std::string frame;
        for (size_t shown = 0; shown < kShownFrames && std::getline(frames, frame); ++shown) {
            line += "\n" + frame;
        }
        std::istringstream lines(line);
        while (std::getline(lines, line)) {
            text += "\n";
            wrapLine(overlays, line, text);
        }
    }
    panelName_ = overlays.createPanel(text, kErrorPanelX, kErrorPanelY);
}

}  // namespace vantor
