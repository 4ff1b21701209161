#pragma once
// Splits a command's arguments into options and operands. Options are
// "--name" switches or "--name VALUE" / "--name=VALUE" values; "--" ends the
// options, so that a file named "-x.mp3" can be given. "--hex-path HEX" is an
// operand given as the hex digits of its bytes, for a name that is not valid
// UTF-8 (as "list --json" gives it in "fileNameHex").

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace varnello::tagtool {

struct ParsedArguments
{
    std::set<std::string> Switches;            // given switches, without "--"
    std::map<std::string, std::string> Values; // given value options, last one wins
    std::vector<std::string> Operands;         // everything else, in order
    std::string Error;                         // empty when the arguments were valid

    bool Has(const std::string& name) const { return Switches.count(name) != 0; }
    std::optional<std::string> Value(const std::string& name) const;
};

// `switches` and `valueOptions` name the options the command knows; "help"
// is always known as a switch (also as "-h"), and "hex-path" adds its decoded
// bytes to the operands in their place.
ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::set<std::string>& switches,
                               const std::set<std::string>& valueOptions);

} // namespace varnello::tagtool
