#include "RunTool.h"

#include "Mp3Builder.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace varnello::testsupport {

namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

ToolRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workFolder)
{
    const std::string outPath = workFolder + "/.stdout";
    const std::string errPath = workFolder + "/.stderr";
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);

    ToolRun run;
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(workFolder.c_str()) != 0) {
            ::_exit(126);
        }
        ::execv(program.c_str(), pointers.data());
        ::_exit(127);
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.ExitStatus = WEXITSTATUS(status);
    }
    run.Out = ReadText(outPath);
    run.Err = ReadText(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return run;
}

bool HavePython()
{
    return ::access(kPython, X_OK) == 0;
}

std::string CanonicalJson(const std::string& jsonFile, std::string& error)
{
    const std::filesystem::path folder = std::filesystem::path(jsonFile).parent_path();
    const ToolRun run =
        RunProgram(kPython,
                   {"-c",
                    "import json, sys\n"
                    "data = json.load(open(sys.argv[1], encoding='utf-8'))\n"
                    "sys.stdout.buffer.write(json.dumps(data, ensure_ascii=False, sort_keys=True,\n"
                    "                                   separators=(',', ':')).encode('utf-8'))\n",
                    jsonFile},
                   folder.string());
    if (run.ExitStatus != 0) {
        error = run.Err;
        return {};
    }
    error.clear();
    return run.Out;
}

} // namespace varnello::testsupport
