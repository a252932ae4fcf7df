#ifndef TRESSMOOR_TESTS_TOOLS_TOOLRUNSUPPORT_H
#define TRESSMOOR_TESTS_TOOLS_TOOLRUNSUPPORT_H

#include <cstddef>
#include <string>

// What a companion program did when run as a batch job would run it.
struct ToolRun {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Run a program and its arguments through the shell with DISPLAY unset, after
// any shell set-up (such as "cd FOLDER && "), catching its standard output and
// error in files of folder.
ToolRun runTool(const std::string& programAndArguments, const std::string& folder,
                const std::string& setup = "");

// A whole file as text.
std::string readText(const std::string& path);

size_t lineCount(const std::string& text);

#endif
