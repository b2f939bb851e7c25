// Builds and inspects database files for the end-to-end tests, through
// SQLite directly (as an administrator would with the sqlite3 shell).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NoteRow {
    std::int64_t note_id;
    std::int64_t note_class;
    std::int64_t modified; // UTC milliseconds since 1970
    int deleted;           // 1: deletion stub
};

// UTC milliseconds of "YYYY-MM-DDTHH:MM:SSZ".
std::int64_t utc_ms(const char* iso);

// Creates path with exactly the two tables (no index, rollback journal).
void make_notes_db(const std::string& path, const std::vector<NoteRow>& notes, int version = 148,
                   const char* access = "manager");

// Runs SQL on an existing file.
void exec_sql(const std::string& path, const std::string& sql);

// All rows of notes, in note_id order.
std::vector<NoteRow> read_notes(const std::string& path);

// PRAGMA integrity_check's first row.
std::string integrity_check(const std::string& path);

// A fresh empty directory under the system's temporary directory, removed
// with its content when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);

bool operator==(const NoteRow& a, const NoteRow& b);
