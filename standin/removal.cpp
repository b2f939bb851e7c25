// The removal of deletion stubs.
//
// Removal commits every stub on its own, so that a stub whose removal was
// reported is gone even if the process is killed right after. To make that
// cheap the file is put in write-ahead-log mode for the removal (with
// synchronous=NORMAL a commit survives the death of the process without
// waiting for the disk), and put back in its former journal mode when the
// database is closed. (A process killed during a removal leaves the file in
// WAL mode.)
#include <sqlite3.h>

#include <cstring>
#include <mutex>
#include <string>

#include "standin/database.h"
#include "standin/faults.h"
#include "standin/nnotes.h"
#include "standin/registry.h"
#include "standin/status.h"

namespace nn {

namespace {

// Prepares the connection for committing removals one by one, durably.
NotesStatus prepare_removal(Database* db) {
    if (db->removal_ready) {
        return ST_OK;
    }
    if (sqlite3_db_readonly(db->conn, "main") == 1) {
        return ST_DB_READ_ONLY;
    }
    exec(db->conn, "PRAGMA query_only=0");
    std::string before;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db->conn, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        before = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    bool wal = before == "wal";
    if (!wal &&
        sqlite3_prepare_v2(db->conn, "PRAGMA journal_mode=WAL", -1, &stmt, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(stmt);
        wal = rc == SQLITE_ROW &&
              std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal") == 0;
        sqlite3_finalize(stmt);
        if (from_sqlite(rc) == ST_DB_BUSY) {
            // Another process holds the file: this removal fails, and the
            // next one tries the switch again.
            exec(db->conn, "PRAGMA query_only=1");
            return ST_DB_BUSY;
        }
        if (wal && !before.empty()) {
            db->restore_journal = before;
        }
    }
    // In WAL mode a commit is safe from the death of the process once
    // written; other journal modes need the disk at every commit.
    exec(db->conn, wal ? "PRAGMA synchronous=NORMAL" : "PRAGMA synchronous=FULL");
    exec(db->conn, "PRAGMA query_only=1");
    static const char* const statements[] = {"BEGIN IMMEDIATE", "COMMIT", "ROLLBACK"};
    sqlite3_stmt** targets[] = {&db->begin_write, &db->commit, &db->rollback};
    for (int i = 0; i < 3; ++i) {
        if (*targets[i] != nullptr) {
            continue; // prepared by an earlier attempt that failed further on
        }
        if (int rc = sqlite3_prepare_v3(db->conn, statements[i], -1, SQLITE_PREPARE_PERSISTENT,
                                        targets[i], nullptr);
            rc != SQLITE_OK) {
            return from_sqlite(rc);
        }
    }
    db->removal_ready = true;
    return ST_OK;
}

// Runs a prepared statement that returns no rows; SQLITE_OK when it is done.
int run(sqlite3_stmt* stmt) {
    int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
}

NotesStatus remove_stub(Database* db, NoteId id) {
    if (int rc = exec(db->conn, "PRAGMA query_only=0"); rc != SQLITE_OK) {
        return from_sqlite(rc);
    }
    NotesStatus status = ST_OK;
    int rc = run(db->begin_write);
    if (rc != SQLITE_OK) {
        status = from_sqlite(rc);
    } else {
        sqlite3_bind_int64(db->remove, 1, id);
        rc = sqlite3_step(db->remove);
        sqlite3_reset(db->remove);
        if (rc != SQLITE_DONE) {
            status = from_sqlite(rc);
        } else if (sqlite3_changes(db->conn) != 1) {
            // Nothing removed: say why, and commit nothing.
            sqlite3_bind_int64(db->kind, 1, id);
            rc = sqlite3_step(db->kind);
            status = rc == SQLITE_ROW    ? ST_NOTE_NOT_STUB
                     : rc == SQLITE_DONE ? ST_NOTE_NOT_FOUND
                                         : from_sqlite(rc);
            sqlite3_reset(db->kind);
        }
        if (status == ST_OK) {
            rc = run(db->commit);
            status = from_sqlite(rc);
        }
        if (sqlite3_get_autocommit(db->conn) == 0) {
            run(db->rollback);
        }
    }
    exec(db->conn, "PRAGMA query_only=1");
    return status;
}

} // namespace

} // namespace nn

using namespace nn;

extern "C" {

NotesStatus nn_note_delete(DbHandle handle, NoteId id, std::uint32_t update_flags) {
    if (NotesStatus injected = ST_OK; enter(Op::note_delete, &injected)) {
        return injected;
    }
    Database* db = find_database(handle);
    if (db == nullptr) {
        return ST_INVALID_HANDLE;
    }
    // Only the removal of deletion stubs is supported.
    if (update_flags != 0x0200) {
        return ST_BAD_DELETE_FLAGS;
    }
    if (db->access < ACCESS_EDITOR) {
        return ST_NOT_AUTHORIZED;
    }
    std::lock_guard<std::mutex> hold(db->lock);
    end_read_transaction(db);
    forget_stubs(db); // what was read may change from here on
    // Once a removal has found the file held by another process, the next
    // ones try once without waiting, until one gets through: a walk over
    // many stubs of a locked file must not wait its timeout at every stub.
    if (db->busy_before) {
        sqlite3_busy_timeout(db->conn, 0);
    }
    NotesStatus status = prepare_removal(db);
    if (status == ST_OK) {
        status = remove_stub(db, id);
    }
    if (db->busy_before) {
        sqlite3_busy_timeout(db->conn, BUSY_TIMEOUT_MS);
    }
    if (status == ST_OK) {
        db->busy_before = false;
    } else if (status == ST_DB_BUSY) {
        db->busy_before = true;
    }
    return status;
}

} // extern "C"
