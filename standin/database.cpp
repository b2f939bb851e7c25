// Opening, checking and closing databases, and their version.
//
// A database is a SQLite file with the tables db_info (one row: version,
// access) and notes (note_id, class, modified, deleted). The library never
// writes to it except to remove a deletion stub: connections are opened
// query-only and lifted from that only inside a removal.
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>

#include "standin/database.h"
#include "standin/faults.h"
#include "standin/nnotes.h"
#include "standin/paths.h"
#include "standin/registry.h"
#include "standin/status.h"

namespace nn {

namespace {

namespace fs = std::filesystem;

// Checks that the open file is a database of ours and reads its access level.
NotesStatus check_database(Database* db) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db->conn, "SELECT note_id, class, modified, deleted FROM notes", -1,
                                &stmt, nullptr);
    sqlite3_finalize(stmt);
    if (rc == SQLITE_ERROR) {
        return ST_MISSING_TABLES;
    }
    if (rc != SQLITE_OK) {
        return from_sqlite(rc);
    }
    rc = sqlite3_prepare_v2(db->conn, "SELECT access FROM db_info LIMIT 1", -1, &stmt, nullptr);
    if (rc == SQLITE_ERROR) {
        return ST_MISSING_TABLES;
    }
    if (rc != SQLITE_OK) {
        return from_sqlite(rc);
    }
    rc = sqlite3_step(stmt);
    db->access = rc == SQLITE_ROW ? parse_access(sqlite3_column_text(stmt, 0)) : ACCESS_NONE;
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        return from_sqlite(rc);
    }
    static const char* const statements[] = {
        "SELECT class, modified, deleted FROM notes WHERE note_id = ?1",
        "DELETE FROM notes WHERE note_id = ?1 AND deleted = 1",
        "SELECT deleted FROM notes WHERE note_id = ?1",
        "PRAGMA data_version",
    };
    sqlite3_stmt** targets[] = {&db->info, &db->remove, &db->kind, &db->data_version};
    for (int i = 0; i < 4; ++i) {
        rc = sqlite3_prepare_v3(db->conn, statements[i], -1, SQLITE_PREPARE_PERSISTENT, targets[i],
                                nullptr);
        if (rc != SQLITE_OK) {
            return rc == SQLITE_ERROR ? ST_MISSING_TABLES : from_sqlite(rc);
        }
    }
    return ST_OK;
}

} // namespace

int exec(sqlite3* conn, const char* sql) {
    return sqlite3_exec(conn, sql, nullptr, nullptr, nullptr);
}

void close_database(Database* db) {
    stop_watchdog(db);
    end_read_transaction(db);
    forget_stubs(db);
    sqlite3_finalize(db->info);
    sqlite3_finalize(db->remove);
    sqlite3_finalize(db->kind);
    sqlite3_finalize(db->data_version);
    for (sqlite3_stmt* stmt : {db->begin_write, db->commit, db->rollback}) {
        sqlite3_finalize(stmt);
    }
    if (!db->restore_journal.empty()) {
        exec(db->conn, "PRAGMA query_only=0");
        std::string sql = "PRAGMA journal_mode=" + db->restore_journal;
        exec(db->conn, sql.c_str()); // best effort: another connection may hold the file
    }
    sqlite3_close(db->conn);
}

} // namespace nn

using namespace nn;

extern "C" {

NotesStatus nn_db_open(const char* path, DbHandle* db_out) {
    if (NotesStatus injected = ST_OK; enter(Op::db_open, &injected)) {
        return injected;
    }
    if (path == nullptr || db_out == nullptr) {
        return ST_INVALID_ARGUMENT;
    }
    std::string file;
    std::error_code ec;
    fs::file_status kind;
    try {
        if (NotesStatus status = resolve_path(path, &file)) {
            return status;
        }
        kind = fs::status(file, ec);
    } catch (const std::bad_alloc&) {
        return ST_NO_MEMORY;
    }
    if (ec || !fs::exists(kind)) {
        return ST_FILE_NOT_FOUND;
    }
    if (!fs::is_regular_file(kind)) {
        return ST_NOT_A_DATABASE;
    }

    std::unique_ptr<Database> db(new (std::nothrow) Database);
    if (!db) {
        return ST_NO_MEMORY;
    }
    // Never SQLITE_OPEN_CREATE: a missing file must not be made. A file we
    // may not write is opened read-only by SQLite itself.
    int rc = sqlite3_open_v2(file.c_str(), &db->conn, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    NotesStatus status = from_sqlite(rc);
    if (status == ST_OK) {
        sqlite3_busy_timeout(db->conn, BUSY_TIMEOUT_MS);
        // Every page is checked as it is read, so that a damaged one is always
        // reported as damage rather than read differently from run to run.
        exec(db->conn, "PRAGMA cell_size_check=ON");
        exec(db->conn, "PRAGMA query_only=1");
        status = check_database(db.get());
    }
    if (status == ST_OK && !add_database(db, db_out)) {
        status = ST_NO_MEMORY;
    }
    if (status != ST_OK) {
        close_database(db.get());
    }
    return status;
}

NotesStatus nn_db_close(DbHandle handle) {
    if (NotesStatus injected = ST_OK; enter(Op::db_close, &injected)) {
        return injected;
    }
    Database* db = find_database(handle);
    if (db == nullptr) {
        return ST_INVALID_HANDLE;
    }
    close_database(db); // stops the watchdog first
    drop_database(handle);
    return ST_OK;
}

NotesStatus nn_db_version(DbHandle handle, std::uint16_t* version_out) {
    if (NotesStatus injected = ST_OK; enter(Op::db_version, &injected)) {
        return injected;
    }
    Database* db = find_database(handle);
    if (db == nullptr || version_out == nullptr) {
        return db == nullptr ? ST_INVALID_HANDLE : ST_INVALID_ARGUMENT;
    }
    std::lock_guard<std::mutex> hold(db->lock);
    sqlite3_stmt* stmt = nullptr;
    int rc =
        sqlite3_prepare_v2(db->conn, "SELECT version FROM db_info LIMIT 1", -1, &stmt, nullptr);
    NotesStatus status = from_sqlite(rc);
    if (status == ST_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW && sqlite3_column_type(stmt, 0) == SQLITE_INTEGER) {
            sqlite3_int64 version = sqlite3_column_int64(stmt, 0);
            if (version >= 0 && version <= 0xFFFF) {
                *version_out = static_cast<std::uint16_t>(version);
            } else {
                status = ST_NO_VERSION;
            }
        } else {
            status = rc == SQLITE_ROW || rc == SQLITE_DONE ? ST_NO_VERSION : from_sqlite(rc);
        }
    }
    sqlite3_finalize(stmt);
    return status;
}

} // extern "C"
