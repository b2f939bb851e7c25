#include "tests/unit/run_tool.h"

#include "app/startup.h"
#include "tests/support/capture_output.h"

ToolRun run_startup(const std::vector<std::string>& args, std::FILE* stream) {
    std::vector<std::string> storage;
    storage.push_back("tarnwick");
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    if (stream != nullptr) {
        out_set_stream(stream);
        int status = startup_main(static_cast<int>(storage.size()), argv.data());
        out_set_stream(nullptr);
        return {status, ""};
    }
    CapturedOutput out;
    int status = startup_main(static_cast<int>(storage.size()), argv.data());
    return {status, out.text()};
}
