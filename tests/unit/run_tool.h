// Runs the tool's main routine in-process against the fake library.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct ToolRun {
    int exit_status;
    std::string output;
};

// args excludes the program name. The output is captured, or goes to stream
// when one is given (and is then not returned).
ToolRun run_startup(const std::vector<std::string>& args, std::FILE* stream = nullptr);
