// Runs the tool's main routine in-process against the fake library.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
    int exit_status;
    std::string output;
};

// args excludes the program name.
ToolRun run_startup(const std::vector<std::string>& args);
