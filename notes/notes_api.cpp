#include "notes/notes_api.h"

#include "output/console_output.h"

namespace {

const NotesLibrary* g_library = nullptr;

bool table_complete(const NotesLibrary* l) {
#define NOTES_ENTRY_PRESENT(name, ordinal) &&l->name != nullptr
    return true NOTES_OPERATIONS(NOTES_ENTRY_PRESENT);
#undef NOTES_ENTRY_PRESENT
}

// Makes sure a text the library wrote into a caller's buffer is terminated
// within the buffer, whatever the library did.
void terminate_within(char* buffer, int buffer_max) {
    if (buffer != nullptr && buffer_max >= 0) {
        buffer[buffer_max] = '\0';
    }
}

} // namespace

bool notes_use_library(const NotesLibrary* library) {
    if (library == nullptr || library->version != NOTES_LIBRARY_VERSION ||
        !table_complete(library)) {
        return false;
    }
    g_library = library;
    return true;
}

NotesStatus notes_init(int argc, char** argv) {
    return g_library->notes_init(argc, argv);
}

NotesStatus notes_setup_args(int argc, char** argv, int* argc_out, char*** argv_out) {
    return g_library->notes_setup_args(argc, argv, argc_out, argv_out);
}

NotesStatus notes_program_begin(ProgramEntry entry, int argc, char** argv, int reserved1,
                                int reserved2) {
    return g_library->notes_program_begin(entry, argc, argv, reserved1, reserved2);
}

void notes_program_end(int argc, char** argv) {
    g_library->notes_program_end(argc, argv);
}

void notes_term() {
    g_library->notes_term();
}

int init_error_text(NotesStatus status, char* buffer, int buffer_max) {
    buffer[0] = '\0';
    int result = g_library->init_error_text(status, buffer, buffer_max);
    terminate_within(buffer, buffer_max);
    return result;
}

void program_error_text(NotesStatus status, char* buffer, int buffer_max) {
    buffer[0] = '\0';
    g_library->program_error_text(status, buffer, buffer_max);
    terminate_within(buffer, buffer_max);
}

std::uint16_t status_text(int reserved, NotesStatus code, char* buffer, std::uint16_t buffer_max) {
    std::uint16_t length = g_library->status_text(reserved, code, buffer, buffer_max);
    if (length > buffer_max) {
        length = buffer_max;
    }
    if (length != 0) {
        terminate_within(buffer, buffer_max);
    }
    return length;
}

NotesStatus build_db_path(int reserved, const char* server, const char* db_name, char* path_out) {
    NotesStatus status = g_library->build_db_path(reserved, server, db_name, path_out);
    terminate_within(path_out, NOTES_TEXT_MAX);
    return status;
}

NotesStatus db_open(const char* path, DbHandle* db_out) {
    return g_library->db_open(path, db_out);
}

NotesStatus db_close(DbHandle db) {
    return g_library->db_close(db);
}

NotesStatus db_version(DbHandle db, std::uint16_t* version_out) {
    return g_library->db_version(db, version_out);
}

NotesStatus db_modified_ids(DbHandle db, std::uint16_t class_mask, NotesTime since,
                            NotesTime* until_out, IdTableHandle* table_out) {
    return g_library->db_modified_ids(db, class_mask, since, until_out, table_out);
}

std::uint32_t idtable_count(IdTableHandle table) {
    return g_library->idtable_count(table);
}

bool idtable_next(IdTableHandle table, int first, std::uint32_t* id_out) {
    return g_library->idtable_next(table, first, id_out) != 0;
}

NotesStatus idtable_free(IdTableHandle table) {
    return g_library->idtable_free(table);
}

NotesStatus note_info(DbHandle db, NoteId id, NoteOriginRecord* origin_out, NotesTime* modified_out,
                      NoteClass* class_out) {
    return g_library->note_info(db, id, origin_out, modified_out, class_out);
}

NotesStatus note_delete(DbHandle db, NoteId id, std::uint32_t update_flags) {
    return g_library->note_delete(db, id, update_flags);
}

void time_now(NotesTime* out) {
    g_library->time_now(out);
}

void time_constant(std::uint16_t selector, NotesTime* out) {
    g_library->time_constant(selector, out);
}

NotesStatus time_normalize(const NotesTime* in, std::uint32_t option, NotesTime* out) {
    return g_library->time_normalize(in, option, out);
}

NotesStatus time_adjust(NotesTime* time, int seconds, int minutes, int hours, int days, int months,
                        int years) {
    return g_library->time_adjust(time, seconds, minutes, hours, days, months, years);
}

std::int32_t time_day_number(const NotesTime* time) {
    return g_library->time_day_number(time);
}

NotesStatus time_to_text(const void* intl, const void* format, const NotesTime* time, char* buffer,
                         std::uint16_t buffer_max, std::uint16_t* length_out) {
    *length_out = 0;
    NotesStatus status =
        g_library->time_to_text(intl, format, time, buffer, buffer_max, length_out);
    if (*length_out > buffer_max) {
        *length_out = buffer_max;
    }
    return status;
}

void print_status_text(NotesStatus status) {
    char text[NOTES_TEXT_BUFFER];
    std::uint16_t length = status_text(0, status & STATUS_CODE_MASK, text, NOTES_TEXT_MAX);
    if (length != 0) {
        out_printf("(Error: %s)\n", text);
    }
}
