#include "Console.h"

#include "Utf8.h"

#include <cstdio>

namespace varnello::tagtool {

void WriteOut(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintError(std::string_view message)
{
    std::string line(kProgramName);
    line += ": ";
    line += EscapedText(message);
    line += '\n';
    std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int UsageError(std::string_view command, std::string_view message)
{
    PrintError(message);
    std::string hint = "Try '";
    hint += kProgramName;
    if (!command.empty()) {
        hint += ' ';
        hint += command;
    }
    hint += " --help'.\n";
    std::fwrite(hint.data(), 1, hint.size(), stderr);
    return exitcode::kUsage;
}

} // namespace varnello::tagtool
