#pragma once
// A command's arguments split into options and operands by the rules of
// CommandLine (CommandLine.h), as plain values: for a caller that has no help
// text to print and reports errors itself.

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
