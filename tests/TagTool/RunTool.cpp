#include "RunTool.h"

#include "Mp3Builder.h"

#include <filesystem>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace varnello::testsupport {

namespace {

constexpr const char* kPython = "/usr/bin/python3";

#ifdef _WIN32
std::wstring Wide(const std::string& text)
{
    const std::filesystem::path path(std::u8string(text.begin(), text.end()));
    return path.wstring();
}

// One argument quoted as the C runtime's parser of a command line reads it.
std::wstring Quoted(const std::wstring& arg)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

HANDLE Inheritable(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Run(const std::string& program, const std::vector<std::string>& args,
        const std::string& workFolder, const std::string& outPath, const std::string& errPath)
{
    std::wstring line = Quoted(Wide(program));
    for (const std::string& arg : args) {
        line += L' ' + Quoted(Wide(arg));
    }
    const HANDLE out = Inheritable(outPath);
    const HANDLE err = Inheritable(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    int status = -1;
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         Wide(workFolder).c_str(), &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (::GetExitCodeProcess(process.hProcess, &code)) {
            status = static_cast<int>(code);
        }
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(out);
    ::CloseHandle(err);
    return status;
}
#else
int Run(const std::string& program, const std::vector<std::string>& args,
        const std::string& workFolder, const std::string& outPath, const std::string& errPath)
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);

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
        return WEXITSTATUS(status);
    }
    return -1;
}
#endif

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
    ToolRun run;
    run.ExitStatus = Run(program, args, workFolder, outPath, errPath);
    run.Out = ReadText(outPath);
    run.Err = ReadText(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return run;
}

bool HavePython()
{
#ifdef _WIN32
    return false; // no Python for Windows programs here
#else
    return ::access(kPython, X_OK) == 0;
#endif
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
