#pragma once
// The tool's commands. Each takes the arguments after its name and returns
// the exit status (see Console.h).

#include <string>
#include <vector>

namespace varnello::tagtool {

int RunList(const std::vector<std::string>& args);
int RunSet(const std::vector<std::string>& args);
int RunShow(const std::vector<std::string>& args);
int RunRecover(const std::vector<std::string>& args);
int RunCover(const std::vector<std::string>& args);
int RunFromName(const std::vector<std::string>& args);
int RunRename(const std::vector<std::string>& args);

} // namespace varnello::tagtool
