#pragma once
// Runs the built varnello-tag with arguments and collects its exit status,
// stdout and stderr; and reads JSON through python3's own parser.

#include <string>
#include <vector>

namespace varnello::testsupport {

struct ToolRun
{
    int ExitStatus = -1; // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

ToolRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workFolder);

// The JSON file parsed by python3 and written back compactly with sorted keys
// and real UTF-8 characters, or empty with `error` set when it does not parse.
std::string CanonicalJson(const std::string& jsonFile, std::string& error);

bool HavePython();

} // namespace varnello::testsupport
