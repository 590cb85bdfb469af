// The level author's guide documents exactly the functions the engine
// installs: every "### `Name`" heading of docs/scripting.md names an entry of
// the script function table, and every entry has its heading.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "script/bindings/FunctionTable.h"

namespace vantor {
namespace {

// __FILE__ is absolute: CMake compiles every test source by its full path.
std::filesystem::path guidePath() {
    return std::filesystem::path(__FILE__).parent_path() / ".." / ".." / ".." / "docs" /
           "scripting.md";
}

// Names under headings of the exact form ### `Name`, with how often each occurs.
std::map<std::string, int> documentedFunctions(std::istream& in) {
    const std::string open = "### `";
    std::map<std::string, int> names;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.compare(0, open.size(), open) != 0 || line.back() != '`' ||
            line.size() <= open.size() + 1) {
            continue;
        }
        ++names[line.substr(open.size(), line.size() - open.size() - 1)];
    }
    return names;
}

TEST(ScriptingGuideTest, HeadingsNameExactlyTheInstalledFunctions) {
    std::ifstream guide(guidePath());
    ASSERT_TRUE(guide) << "cannot read " << guidePath();
    const std::map<std::string, int> documented = documentedFunctions(guide);

    std::set<std::string> installed;
    for (const ScriptFunctionEntry& entry : scriptFunctionTable()) {
        installed.insert(entry.name);
    }

    for (const auto& [name, count] : documented) {
        EXPECT_EQ(count, 1) << name << " has " << count << " headings in docs/scripting.md";
        EXPECT_TRUE(installed.count(name))
            << name << " is documented but not in scriptFunctionTable()";
    }
    for (const std::string& name : installed) {
        EXPECT_TRUE(documented.count(name))
            << name << " is installed but has no \"### `" << name << "`\" heading";
    }
}

}  // namespace
}  // namespace vantor
