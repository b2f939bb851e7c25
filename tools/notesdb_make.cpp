// notesdb-make: creates a Notes database file for demos, tests and
// benchmarks. The same options always give the same file.
//
//   notesdb-make FILE [--notes N] [--stubs PERCENT] [--days D] [--now TIME]
//                     [--seed S] [--version V] [--access LEVEL] [--class MASK]
//                     [--plain] [--force]
#include <sqlite3.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

struct Options {
    const char* file = nullptr;
    std::int64_t notes = 1000;
    double stub_percent = 10.0;
    std::int64_t days = 90;
    std::int64_t now_ms = -1; // -1: the current time
    std::uint64_t seed = 1;
    std::int64_t version = 148;
    std::string access = "manager";
    std::int64_t fixed_class = -1; // -1: a realistic mix
    bool plain = false;
    bool force = false;
};

void usage() {
    std::printf(
        "usage: notesdb-make FILE [options]\n"
        "  --notes N        number of notes (default 1000)\n"
        "  --stubs PERCENT  share of them that are deletion stubs (default 10)\n"
        "  --days D         modification times spread over the D days before --now (default 90)\n"
        "  --now TIME       YYYY-MM-DDTHH:MM:SSZ (default: the current time)\n"
        "  --seed S         seed of the generator (default 1)\n"
        "  --version V      database version in db_info (default 148)\n"
        "  --access LEVEL   reader, author, editor, designer or manager (default manager)\n"
        "  --class MASK     give every note this class (default: a mix, mostly documents)\n"
        "  --plain          only the two tables: no index, rollback journal\n"
        "  --force          replace FILE if it exists\n");
}

bool parse_int(const char* text, std::int64_t min, std::int64_t max, std::int64_t* out) {
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || value < min || value > max) {
        return false;
    }
    *out = value;
    return true;
}

bool parse_time(const char* text, std::int64_t* ms) {
    int y, mo, d, h, mi, s;
    char z = 0;
    if (std::sscanf(text, "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 ||
        z != 'Z') {
        return false;
    }
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    *ms = static_cast<std::int64_t>(timegm(&tm)) * 1000;
    return true;
}

// splitmix64: small, fast and the same everywhere.
std::uint64_t next_random(std::uint64_t* state) {
    std::uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int pick_class(std::uint64_t r) {
    // Per mille: documents dominate, design notes are few.
    static const struct {
        int per_mille;
        int note_class;
    } mix[] = {{880, 0x0001}, {30, 0x0004}, {40, 0x0008}, {10, 0x0200},
               {10, 0x0400},  {20, 0x1000}, {5, 0x0002},  {5, 0x0020}};
    int x = static_cast<int>(r % 1000);
    for (const auto& m : mix) {
        if (x < m.per_mille) {
            return m.note_class;
        }
        x -= m.per_mille;
    }
    return 0x0001;
}

bool parse_options(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char** out) {
            if (i + 1 >= argc) {
                return false;
            }
            *out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (a == "--plain") {
            o->plain = true;
        } else if (a == "--force") {
            o->force = true;
        } else if (a == "--notes") {
            if (!value(&v) || !parse_int(v, 0, 500000000, &o->notes))
                return false;
        } else if (a == "--stubs") {
            if (!value(&v))
                return false;
            char* end = nullptr;
            o->stub_percent = std::strtod(v, &end);
            if (*end != '\0' || o->stub_percent < 0 || o->stub_percent > 100)
                return false;
        } else if (a == "--days") {
            if (!value(&v) || !parse_int(v, 0, 100000000, &o->days))
                return false;
        } else if (a == "--now") {
            if (!value(&v) || !parse_time(v, &o->now_ms))
                return false;
        } else if (a == "--seed") {
            std::int64_t s = 0;
            if (!value(&v) || !parse_int(v, 0, INT64_MAX, &s))
                return false;
            o->seed = static_cast<std::uint64_t>(s);
        } else if (a == "--version") {
            if (!value(&v) || !parse_int(v, 0, 65535, &o->version))
                return false;
        } else if (a == "--access") {
            if (!value(&v))
                return false;
            o->access = v;
        } else if (a == "--class") {
            if (!value(&v) || !parse_int(v, 0, 65535, &o->fixed_class))
                return false;
        } else if (!a.empty() && a[0] != '-' && o->file == nullptr) {
            o->file = argv[i];
        } else {
            return false;
        }
    }
    return o->file != nullptr;
}

bool check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        std::fprintf(stderr, "notesdb-make: %s: %s\n", what, sqlite3_errmsg(db));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse_options(argc, argv, &o)) {
        usage();
        return 2;
    }
    if (o.now_ms < 0) {
        o.now_ms = static_cast<std::int64_t>(std::time(nullptr)) * 1000;
    }
    if (!o.force) {
        if (std::FILE* existing = std::fopen(o.file, "rb")) {
            std::fclose(existing);
            std::fprintf(stderr, "notesdb-make: %s exists (use --force to replace it)\n", o.file);
            return 1;
        }
    } else {
        std::remove(o.file);
        std::remove((std::string(o.file) + "-wal").c_str());
        std::remove((std::string(o.file) + "-shm").c_str());
    }

    sqlite3* db = nullptr;
    if (sqlite3_open_v2(o.file, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "notesdb-make: cannot create %s: %s\n", o.file, sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    bool ok = check(db,
                    sqlite3_exec(db,
                                 "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                                 "CREATE TABLE db_info (version INTEGER NOT NULL,"
                                 " access TEXT NOT NULL DEFAULT 'manager');"
                                 "CREATE TABLE notes ("
                                 " note_id INTEGER PRIMARY KEY"
                                 "  CHECK (note_id BETWEEN 1 AND 2147483647),"
                                 " class INTEGER NOT NULL,"
                                 " modified INTEGER NOT NULL,"
                                 " deleted INTEGER NOT NULL DEFAULT 0);"
                                 "BEGIN;",
                                 nullptr, nullptr, nullptr),
                    "schema");
    sqlite3_stmt* info = nullptr;
    sqlite3_stmt* insert = nullptr;
    ok =
        ok &&
        check(db, sqlite3_prepare_v2(db, "INSERT INTO db_info VALUES (?1, ?2)", -1, &info, nullptr),
              "prepare");
    ok = ok && check(db,
                     sqlite3_prepare_v2(db, "INSERT INTO notes VALUES (?1, ?2, ?3, ?4)", -1,
                                        &insert, nullptr),
                     "prepare");
    if (ok) {
        sqlite3_bind_int64(info, 1, o.version);
        sqlite3_bind_text(info, 2, o.access.c_str(), -1, SQLITE_TRANSIENT);
        ok = check(db, sqlite3_step(info), "db_info");
    }

    std::uint64_t state = o.seed;
    const std::uint64_t span_ms = static_cast<std::uint64_t>(o.days) * 86400000ull;
    const std::uint64_t stub_threshold = static_cast<std::uint64_t>(o.stub_percent / 100.0 * 1e9);
    std::int64_t stubs = 0;
    for (std::int64_t i = 0; ok && i < o.notes; ++i) {
        std::uint64_t r = next_random(&state);
        bool stub = (r % 1000000000ull) < stub_threshold;
        std::uint64_t age = span_ms != 0 ? next_random(&state) % span_ms : 0;
        int note_class =
            o.fixed_class >= 0 ? static_cast<int>(o.fixed_class) : pick_class(next_random(&state));
        sqlite3_bind_int64(insert, 1, 4 * (i + 1));
        sqlite3_bind_int(insert, 2, note_class);
        sqlite3_bind_int64(insert, 3, o.now_ms - static_cast<std::int64_t>(age));
        sqlite3_bind_int(insert, 4, stub ? 1 : 0);
        ok = check(db, sqlite3_step(insert), "insert");
        sqlite3_reset(insert);
        stubs += stub ? 1 : 0;
    }
    sqlite3_finalize(info);
    sqlite3_finalize(insert);
    ok = ok && check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    if (ok && !o.plain) {
        // Bounded queries read the index, which holds every column they need;
        // removals commit through a WAL.
        ok = check(db,
                   sqlite3_exec(db,
                                "CREATE INDEX notes_modified ON notes (modified, deleted, class);"
                                "PRAGMA journal_mode=WAL;",
                                nullptr, nullptr, nullptr),
                   "index");
    } else if (ok) {
        ok = check(db, sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr),
                   "journal");
    }
    sqlite3_close(db);
    if (!ok) {
        std::remove(o.file);
        return 1;
    }
    std::printf("%s: %lld notes, %lld deletion stubs\n", o.file, static_cast<long long>(o.notes),
                static_cast<long long>(stubs));
    return 0;
}
