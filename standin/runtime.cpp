// Runtime start and end, program registration and the texts of statuses.
#include <cstdio>
#include <string>

#include "standin/faults.h"
#include "standin/nnotes.h"
#include "standin/registry.h"
#include "standin/settings.h"
#include "standin/status.h"
#include "standin/text.h"
#include "standin/trace.h"

namespace nn {

namespace {

bool g_started = false;
int g_programs = 0;

} // namespace

} // namespace nn

using namespace nn;

extern "C" {

NotesStatus nn_notes_init(int argc, char** argv) {
    if (g_started) {
        return ST_ALREADY_STARTED;
    }
    NotesStatus status = load_settings();
    if (status != ST_OK) {
        return status;
    }
    // The settings must be read to know the faults; an injected status, 0
    // too, then stands for the start of the runtime, which does not happen.
    if (NotesStatus injected = ST_OK; enter(Op::notes_init, &injected)) {
        return injected;
    }
    if (argc < 1 || argv == nullptr) {
        status = ST_INVALID_ARGUMENT;
    }
    if (status != ST_OK) {
        return status;
    }
    g_started = true;
    g_programs = 0;
    trace("init");
    return ST_OK;
}

NotesStatus nn_notes_setup_args(int argc, char** argv, int* argc_out, char*** argv_out) {
    if (NotesStatus injected = ST_OK; enter(Op::notes_setup_args, &injected)) {
        return injected;
    }
    if (!g_started) {
        return ST_NOT_STARTED;
    }
    // The command line is used as the process received it.
    *argc_out = argc;
    *argv_out = argv;
    return ST_OK;
}

NotesStatus nn_notes_program_begin(ProgramEntry entry, int, char**, int, int) {
    if (NotesStatus injected = ST_OK; enter(Op::notes_program_begin, &injected)) {
        return injected;
    }
    if (!g_started) {
        return ST_NOT_STARTED;
    }
    if (entry == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    ++g_programs;
    return ST_OK;
}

void nn_notes_program_end(int, char**) {
    enter(Op::notes_program_end);
    if (g_programs > 0) {
        --g_programs;
    }
}

void nn_notes_term() {
    enter(Op::notes_term);
    if (!g_started) {
        trace("term without init");
        return;
    }
    // Report what the program left open and how often it called each
    // operation, then release what is left as the runtime's end would.
    trace("term databases=" + std::to_string(open_database_count()) + " tables=" +
          std::to_string(open_table_count()) + " programs=" + std::to_string(g_programs));
    trace("calls " + call_counts());
    close_all_databases();
    g_started = false;
}

int nn_init_error_text(NotesStatus status, char* buffer, int buffer_max) {
    enter(Op::init_error_text);
    return copy_text(status_message(status & 0x3FFF), buffer, buffer_max, true);
}

void nn_program_error_text(NotesStatus status, char* buffer, int buffer_max) {
    enter(Op::program_error_text);
    copy_text(status_message(status & 0x3FFF), buffer, buffer_max, true);
}

std::uint16_t nn_status_text(int, NotesStatus code, char* buffer, std::uint16_t buffer_max) {
    enter(Op::status_text);
    if ((code & 0x3FFF) == ST_OK) {
        return 0; // success has no text
    }
    return copy_text(status_message(code & 0x3FFF), buffer, buffer_max, true);
}

} // extern "C"
