// Runtime start and end, program registration and the texts of statuses.
#include <cstdio>
#include <string>

#include "standin/internal.h"
#include "standin/nnotes.h"

namespace nn {

namespace {

bool g_started = false;
int g_programs = 0;

struct StatusMessage {
    NotesStatus code;
    const char* text;
};

constexpr StatusMessage status_messages[] = {
    {ST_NOTE_DELETED, "Note has been deleted"},
    {ST_NO_MODIFIED, "No notes have been modified since the specified time"},
    {ST_NOT_STARTED, "The Notes runtime has not been started"},
    {ST_BAD_SETTING_DATA, "Invalid NOTES_DATA setting: it must name an existing directory"},
    {ST_BAD_SETTING_NOW, "Invalid NOTES_NOW setting: expected YYYY-MM-DDTHH:MM:SSZ (UTC)"},
    {ST_BAD_SETTING_FAIL,
     "Invalid NOTES_FAIL setting: expected op=STATUS or op#N=STATUS, separated by commas"},
    {ST_BAD_SETTING_DELAY,
     "Invalid NOTES_DELAY setting: expected op=MICROSECONDS, separated by commas"},
    {ST_BAD_SETTING_TRACE, "Invalid NOTES_TRACE setting: the file cannot be written"},
    {ST_NO_MEMORY, "Insufficient memory"},
    {ST_INVALID_ARGUMENT, "Invalid argument"},
    {ST_INVALID_HANDLE, "Invalid handle"},
    {ST_ALREADY_STARTED, "The Notes runtime has already been started"},
    {ST_PATH_TOO_LONG, "Database path is too long (more than 255 characters)"},
    {ST_FILE_NOT_FOUND, "File does not exist"},
    {ST_NOT_A_DATABASE, "File is not a Notes database"},
    {ST_MISSING_TABLES, "File is not a Notes database: the notes or db_info table is missing"},
    {ST_SERVER_UNREACHABLE, "Server not responding: the server cannot be reached"},
    {ST_BAD_SERVER_NAME, "Invalid server name"},
    {ST_BAD_SERVER_DB_NAME, "Invalid database name: it must stay within the server's directory"},
    {ST_DB_BUSY, "Database is in use by another process; try again later"},
    {ST_DB_READ_ONLY, "Database cannot be changed: the file is read-only"},
    {ST_DB_ERROR, "Database engine error"},
    {ST_DB_CORRUPT, "Database is damaged"},
    {ST_NO_VERSION, "Database has no valid version information"},
    {ST_NOTE_NOT_FOUND, "Note not found"},
    {ST_NOTE_NOT_STUB, "Note is not a deletion stub; it was left in place"},
    {ST_NOT_AUTHORIZED, "You are not authorized to remove deletion stubs from this database "
                        "(at least Editor access is required)"},
    {ST_BAD_DELETE_FLAGS, "Unsupported note deletion flags"},
    {ST_BAD_NOTE_ID, "Database contains an invalid note ID"},
};

} // namespace

std::string status_message(NotesStatus code) {
    for (const StatusMessage& m : status_messages) {
        if (m.code == code) {
            return m.text;
        }
    }
    return "Unknown error (status " + std::to_string(code) + ")";
}

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
