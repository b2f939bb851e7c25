#include "tests/support/notes_db.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

sqlite3* open_db(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        std::string message = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path + ": " + message);
    }
    sqlite3_busy_timeout(db, 10000);
    return db;
}

void exec_on(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error != nullptr ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error("SQL failed: " + message + " in " + sql);
    }
}

} // namespace

std::int64_t utc_ms(const char* iso) {
    std::tm tm{};
    int y, mo, d, h, mi, s;
    if (std::sscanf(iso, "%d-%d-%dT%d:%d:%dZ", &y, &mo, &d, &h, &mi, &s) != 6) {
        throw std::runtime_error(std::string("bad time ") + iso);
    }
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return static_cast<std::int64_t>(timegm(&tm)) * 1000;
}

void make_notes_db(const std::string& path, const std::vector<NoteRow>& notes, int version,
                   const char* access) {
    sqlite3* db = open_db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    exec_on(db, "CREATE TABLE db_info (version INTEGER NOT NULL,"
                " access TEXT NOT NULL DEFAULT 'manager');"
                "CREATE TABLE notes (note_id INTEGER PRIMARY KEY"
                " CHECK (note_id BETWEEN 1 AND 2147483647), class INTEGER NOT NULL,"
                " modified INTEGER NOT NULL, deleted INTEGER NOT NULL DEFAULT 0);");
    exec_on(db, "INSERT INTO db_info VALUES (" + std::to_string(version) + ", '" + access + "')");
    exec_on(db, "BEGIN");
    for (const NoteRow& n : notes) {
        exec_on(db, "INSERT INTO notes VALUES (" + std::to_string(n.note_id) + ", " +
                        std::to_string(n.note_class) + ", " + std::to_string(n.modified) + ", " +
                        std::to_string(n.deleted) + ")");
    }
    exec_on(db, "COMMIT");
    sqlite3_close(db);
}

void exec_sql(const std::string& path, const std::string& sql) {
    sqlite3* db = open_db(path, SQLITE_OPEN_READWRITE);
    exec_on(db, sql);
    sqlite3_close(db);
}

std::vector<NoteRow> read_notes(const std::string& path) {
    sqlite3* db = open_db(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT note_id, class, modified, deleted FROM notes ORDER BY note_id",
                       -1, &stmt, nullptr);
    std::vector<NoteRow> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        rows.push_back({sqlite3_column_int64(stmt, 0), sqlite3_column_int64(stmt, 1),
                        sqlite3_column_int64(stmt, 2), sqlite3_column_int(stmt, 3)});
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

std::string integrity_check(const std::string& path) {
    sqlite3* db = open_db(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    std::string result = "(no answer)";
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    } else {
        result = sqlite3_errmsg(db);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool operator==(const NoteRow& a, const NoteRow& b) {
    return a.note_id == b.note_id && a.note_class == b.note_class && a.modified == b.modified &&
           a.deleted == b.deleted;
}
