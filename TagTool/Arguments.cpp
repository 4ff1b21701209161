#include "Arguments.h"

#include "Utf8.h"

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
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.Operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            parsed.Switches.insert("help");
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            parsed.Error = "unknown option '" + arg + "'";
            return parsed;
        }
        const std::size_t equals = arg.find('=');
        const std::string name =
            arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        if (name == "hex-path") {
            std::string hex;
            if (equals != std::string::npos) {
                hex = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                hex = args[++i];
            } else {
                parsed.Error = "option '--hex-path' needs a value";
                return parsed;
            }
            std::string path;
            if (!ParseHex(hex, path) || path.empty()) {
                parsed.Error = "option '--hex-path' needs the hex digits of a name, two per byte";
                return parsed;
            }
            parsed.Operands.push_back(std::move(path));
        } else if (valueOptions.count(name) != 0) {
            if (equals != std::string::npos) {
                parsed.Values[name] = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                parsed.Values[name] = args[++i];
            } else {
                parsed.Error = "option '--" + name + "' needs a value";
                return parsed;
            }
        } else if (switches.count(name) != 0 && equals == std::string::npos) {
            parsed.Switches.insert(name);
        } else {
            parsed.Error = "unknown option '" + arg + "'";
            return parsed;
        }
    }
    return parsed;
}

} // namespace varnello::tagtool
