#include "script/Console.h"

#include <vector>

#include "core/Log.h"
#include "overlay/DisplayText.h"
#include "script/ScriptVM.h"

namespace vantor {

namespace {

const char* const kPrompt = "> ";
const char* const kCursor = "_";
// Log lines of a console session, so a run can be read back afterwards.
const char* const kLogStatement = "Console> ";
const char* const kLogResults = "Console= ";
const char* const kLogError = "Error: console: ";

}  // namespace

void Console::type(const std::string& character) {
    line_ += character;
}

void Console::erase() {
    while (!line_.empty() && isUtf8ContinuationByte(line_.back())) {
        line_.pop_back();
    }
    if (!line_.empty()) {
        line_.pop_back();
    }
}

void Console::older() {
    if (browsing_ > history_.size()) {
        browsing_ = history_.size();
    }
    if (browsing_ > 0) {
        line_ = history_[--browsing_];
    }
}

void Console::newer() {
    if (browsing_ + 1 < history_.size()) {
        line_ = history_[++browsing_];
    } else {
        browsing_ = history_.size();
        line_.clear();
    }
}

void Console::submit() {
    const std::string statement = line_;
    line_.clear();
    if (statement.empty()) {
        return;
    }
    if (history_.empty() || history_.back() != statement) {
        history_.push_back(statement);
        if (history_.size() > kHistoryLength) {
            history_.pop_front();
        }
    }
    browsing_ = history_.size();
    addOutput(kPrompt + statement);
    log(kLogStatement + statement);

    std::vector<std::string> results;
    std::string error;
    if (!vm_.evaluate(statement, results, error)) {
        addOutput(error);
        log(kLogError + error);
        return;
    }
    if (results.empty()) {
        return;
    }
    std::string joined;
    for (const std::string& result : results) {
        joined += (joined.empty() ? "" : "\t") + result;
    }
    addOutput(joined);
    log(kLogResults + joined);
}

void Console::addOutput(const std::string& line) {
    scrollBack_.push_back(line);
    while (scrollBack_.size() > kScrollBackLines) {
        scrollBack_.pop_front();
    }
}

std::string Console::text() const {
    std::string text;
    for (const std::string& line : scrollBack_) {
        text += line + "\n";
    }
    text += kPrompt + line_ + kCursor;
    // The panel font has no tab; print separates its values with one.
    std::string shown;
    for (char c : text) {
        shown += c == '\t' ? std::string(4, ' ') : std::string(1, c);
    }
    return shown;
}

}  // namespace vantor
