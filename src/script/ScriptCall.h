#pragma once

#include <string>
#include <vector>

namespace vantor {

// Builds one engine-to-script statement: Name(arg, arg, ...).
// Numbers are written with OGRE's string converter (integers in decimal, reals
// with 6 significant digits). Texts are single-quoted; a quote, backslash or
// control character inside is escaped so no text can break out of its string,
// while ordinary names give exactly 'name'.
class ScriptCall {
public:
    explicit ScriptCall(std::string function);

    ScriptCall& integer(long long value);
    ScriptCall& real(float value);
    ScriptCall& text(const std::string& value);
    // A list of texts as a table constructor: {'a', 'b'}.
    ScriptCall& list(const std::vector<std::string>& values);

    // The statement text.
    std::string str() const;

private:
    std::string function_;
    std::vector<std::string> args_;
};

}  // namespace vantor
