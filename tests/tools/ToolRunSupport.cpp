#include "ToolRunSupport.h"

#include <sys/wait.h>

#include <cstdlib>

#include "HairFileSupport.h"

ToolRun runTool(const std::string& programAndArguments, const std::string& folder,
                const std::string& setup)
{
    const std::string command = setup + "env -u DISPLAY " + programAndArguments + " > '" +
                                folder + "/out' 2> '" + folder + "/err'";
    ToolRun run;
    const int result = system(command.c_str());
    run.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    run.out = readText(folder + "/out");
    run.err = readText(folder + "/err");
    return run;
}

std::string readText(const std::string& path)
{
    const Bytes bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

size_t lineCount(const std::string& text)
{
    size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}
