// The stand-in's configuration, read from the environment when the runtime
// starts.
#pragma once

#include <cstdint>
#include <string>

#include "notes/notes_library.h"

namespace nn {

struct Settings {
    std::string data_dir;   // absolute
    bool fixed_now = false; // NOTES_NOW given
    std::int64_t now_ms = 0;
    std::string trace_path; // NOTES_TRACE: test-only report of held resources
};

const Settings& settings();

// Reads NOTES_DATA, NOTES_NOW, NOTES_FAIL, NOTES_DELAY and NOTES_TRACE.
// Returns the status naming the first malformed one.
NotesStatus load_settings();

} // namespace nn
