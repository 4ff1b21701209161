#pragma once
// One command's command line, read with CLI11. Options are "--name" switches
// or "--name VALUE" / "--name=VALUE" values (the last one given wins); "--"
// ends the options, so that a file named "-x.mp3" can be given. "--hex-path
// HEX" is an operand given as the hex digits of its bytes, for a name that is
// not valid UTF-8 (as "list --json" gives it in "fileNameHex"). "--help" and
// "-h" print the command's help text as it is written.
//
// Every command reports a wrong command line the same way: one error line
// and a hint to use --help, exit status 2 (see UsageError). When several
// arguments are wrong, the first one is named.

#include <CLI/App.hpp>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnello::tagtool {

class CommandLine
{
public:
    CommandLine(std::string command, std::string help);

    void AddSwitch(const std::string& name);
    void AddValue(const std::string& name);

    // Reads the arguments after the command's name. Returns the exit status
    // when the command ends here: its help was printed, or the command line
    // was wrong and the error printed.
    std::optional<int> Parse(const std::vector<std::string>& args);
    // The same without printing: the error of a wrong command line, or empty.
    std::string Read(const std::vector<std::string>& args);

    bool Has(const std::string& name) const;
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Operands() const { return m_operands; }

    // Prints a usage error of this command; returns exitcode::kUsage.
    int Fail(std::string_view message) const;

private:
    std::vector<std::string> SplitEmptyValues(const std::vector<std::string>& args);
    std::string ErrorOfRemaining();
    bool IsValueOption(const std::string& arg) const;

    std::string m_command;
    CLI::App m_app;
    std::map<std::string, CLI::Option*> m_options;
    std::set<std::string> m_valueOptions; // "--title", ...
    bool m_shortHelp = false;             // "-h"
    std::vector<std::string> m_operands;
    // Decoded --hex-path operands, each with the number of other arguments
    // CLI11 had set aside before it, so that operands keep their order.
    std::vector<std::pair<std::size_t, std::string>> m_hexPaths;
    std::string m_hexError;
    std::string m_switchWithValue; // "--json=1": where the arguments end
};

} // namespace varnello::tagtool
