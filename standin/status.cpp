// The texts of the stand-in's statuses, and the statuses SQLite's results
// stand for.
#include <sqlite3.h>

#include <string>

#include "standin/status.h"

namespace nn {

namespace {

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

NotesStatus from_sqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return ST_OK;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ST_DB_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return ST_DB_READ_ONLY;
    case SQLITE_NOMEM:
        return ST_NO_MEMORY;
    case SQLITE_NOTADB:
        return ST_NOT_A_DATABASE;
    case SQLITE_CORRUPT:
        return ST_DB_CORRUPT;
    case SQLITE_CANTOPEN:
        return ST_FILE_NOT_FOUND;
    default:
        return ST_DB_ERROR;
    }
}

} // namespace nn
