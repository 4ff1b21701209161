#include "Arguments.h"

#include "CommandLine.h"

namespace varnello::tagtool {

std::optional<std::string> ParsedArguments::Value(const std::string& name) const
{
    const auto it = Values.find(name);
    if (it == Values.end()) {
        return std::nullopt;
    }
    return it->second;
}

ParsedArguments ParseArguments(const std::vector<std::string>& args,
                               const std::set<std::string>& switches,
                               const std::set<std::string>& valueOptions)
{
    CommandLine line("", "");
    for (const std::string& name : switches) {
        line.AddSwitch(name);
    }
    for (const std::string& name : valueOptions) {
        line.AddValue(name);
    }
    ParsedArguments parsed;
    parsed.Error = line.Read(args);
    if (!parsed.Error.empty()) {
        return parsed;
    }
    for (const std::string& name : switches) {
        if (line.Has(name)) {
            parsed.Switches.insert(name);
        }
    }
    if (line.Has("help")) {
        parsed.Switches.insert("help");
    }
    for (const std::string& name : valueOptions) {
        if (auto value = line.Value(name)) {
            parsed.Values[name] = std::move(*value);
        }
    }
    parsed.Operands = line.Operands();
    return parsed;
}

} // namespace varnello::tagtool
