#include "CommandLine.h"

#include "Console.h"
#include "Utf8.h"

#include <CLI/CLI.hpp>
#include <memory>

namespace varnello::tagtool {

namespace {

// CLI11 prints the command's own help text, as written, for --help.
class HelpText : public CLI::FormatterBase
{
public:
    explicit HelpText(std::string text) : m_text(std::move(text)) {}
    std::string make_help(const CLI::App*, std::string, CLI::AppFormatMode) const override
    {
        return m_text;
    }

private:
    std::string m_text;
};

constexpr const char* kHexPathError =
    "option '--hex-path' needs the hex digits of a name, two per byte";

} // namespace

CommandLine::CommandLine(std::string command, std::string help)
    : m_command(std::move(command)), m_app("", "varnello-tag " + m_command)
{
    m_app.formatter(std::make_shared<HelpText>(std::move(help)));
    // Arguments CLI11 does not know (operands and unknown options) are kept
    // in order and sorted out after the parse, so that the first wrong one
    // is named; --help is an ordinary switch, so that an error wins over it.
    m_app.set_help_flag();
    m_app.allow_extras();
    AddSwitch("help");
    m_app
        .add_option_function<std::string>(
            "--hex-path",
            [this](const std::string& hex) {
                std::string path;
                if (!ParseHex(hex, path) || path.empty()) {
                    m_hexError = kHexPathError;
                    throw CLI::ValidationError("--hex-path", kHexPathError);
                }
                m_hexPaths.emplace_back(m_app.remaining().size(), std::move(path));
            })
        ->trigger_on_parse();
}

void CommandLine::AddSwitch(const std::string& name)
{
    m_options[name] = m_app.add_flag("--" + name)->disable_flag_override();
}

void CommandLine::AddValue(const std::string& name)
{
    m_valueOptions.insert("--" + name);
    m_options[name] =
        m_app.add_option("--" + name)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

bool CommandLine::Has(const std::string& name) const
{
    const auto it = m_options.find(name);
    return (name == "help" && m_shortHelp) || (it != m_options.end() && it->second->count() != 0);
}

std::optional<std::string> CommandLine::Value(const std::string& name) const
{
    const auto it = m_options.find(name);
    if (it == m_options.end() || it->second->results().empty()) {
        return std::nullopt;
    }
    return it->second->results().back();
}

int CommandLine::Fail(std::string_view message) const
{
    return UsageError(m_command, message);
}

bool CommandLine::IsValueOption(const std::string& arg) const
{
    return arg == "--hex-path" || m_valueOptions.count(arg) != 0;
}

// CLI11 reads "--name=" as "--name" waiting for the next argument; here it is
// the empty value (which removes a field), so it goes in as two arguments.
// A switch takes no value, not even "=true": the arguments end before it, and
// it is the error unless one comes before it.
std::vector<std::string> CommandLine::SplitEmptyValues(const std::vector<std::string>& args)
{
    std::vector<std::string> split;
    bool optionsEnded = false;
    bool valueNext = false;
    for (const std::string& arg : args) {
        if (valueNext || optionsEnded) {
            valueNext = false;
            split.push_back(arg);
            continue;
        }
        optionsEnded = arg == "--";
        valueNext = IsValueOption(arg);
        if (const std::size_t equals = arg.find('=');
            !optionsEnded && equals != std::string::npos && arg.rfind("--", 0) == 0 &&
            m_options.count(arg.substr(2, equals - 2)) != 0 &&
            !IsValueOption(arg.substr(0, equals))) {
            m_switchWithValue = arg;
            break;
        }
        if (arg.size() > 3 && arg.back() == '=' && IsValueOption(arg.substr(0, arg.size() - 1))) {
            split.push_back(arg.substr(0, arg.size() - 1));
            split.emplace_back();
        } else {
            split.push_back(arg);
        }
    }
    return split;
}

// Sorts the arguments CLI11 set aside into operands, with the --hex-path ones
// in their place; returns the error of the first unknown option.
std::string CommandLine::ErrorOfRemaining()
{
    const std::vector<std::string> remaining = m_app.remaining();
    auto hexPath = m_hexPaths.begin();
    bool optionsEnded = false;
    for (std::size_t i = 0; i <= remaining.size(); ++i) {
        for (; hexPath != m_hexPaths.end() && hexPath->first == i; ++hexPath) {
            m_operands.push_back(hexPath->second);
        }
        if (i == remaining.size()) {
            break;
        }
        const std::string& arg = remaining[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            m_operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h") {
            m_shortHelp = true;
        } else {
            return "unknown option '" + arg + "'";
        }
    }
    return {};
}

std::string CommandLine::Read(const std::vector<std::string>& args)
{
    const std::vector<std::string> split = SplitEmptyValues(args);
    std::vector<std::string> pending(split.rbegin(), split.rend());
    try {
        m_app.parse(pending);
    } catch (const CLI::ParseError&) {
        // CLI11 stopped at the argument it could not take; an unknown option
        // before it comes first.
        if (std::string error = ErrorOfRemaining(); !error.empty()) {
            return error;
        }
        if (!m_hexError.empty()) {
            return m_hexError;
        }
        const std::string& arg = split[split.size() - pending.size() - 1];
        if (IsValueOption(arg)) {
            return "option '" + arg + "' needs a value";
        }
        return "unknown option '" + arg + "'";
    }
    if (std::string error = ErrorOfRemaining(); !error.empty()) {
        return error;
    }
    if (!m_switchWithValue.empty()) {
        return "unknown option '" + m_switchWithValue + "'";
    }
    return {};
}

std::optional<int> CommandLine::Parse(const std::vector<std::string>& args)
{
    if (const std::string error = Read(args); !error.empty()) {
        return Fail(error);
    }
    if (Has("help")) {
        WriteOut(m_app.help());
        return exitcode::kOk;
    }
    return std::nullopt;
}

} // namespace varnello::tagtool
