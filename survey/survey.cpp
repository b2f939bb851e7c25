#include "survey/survey.h"

#include "app/command_line.h"
#include "notes/notes_api.h"
#include "output/console_output.h"
#include "survey/console_ctrl.h"
#include "survey/stub_listing.h"

namespace {

// Marks a time as a whole day (no time of day), so that a query bound taken
// from it covers that entire day.
constexpr std::uint32_t WHOLE_DAY = 0xFFFFFFFFu;

// How often the walk reports progress and re-installs the console handler,
// and above what table size it warns. Reading note information from a server
// is slow, so such walks report far more often.
struct WalkPace {
    std::uint32_t interval;
    std::uint32_t warn_limit;
};

WalkPace choose_pace(bool fetch_info) {
    if (run_settings.server_name[0] != '\0' && fetch_info) {
        return {1000, 2000};
    }
    return {30000, 150000};
}

// The day window as day numbers, computed once per walk.
struct DayWindow {
    bool has_start;
    bool has_end;
    std::int64_t start_day;
    std::int64_t end_day;
};

DayWindow make_window(const NotesTime& start, const NotesTime& end) {
    DayWindow window{run_settings.start_days >= 0, run_settings.end_days >= 0, 0, 0};
    if (window.has_start) {
        window.start_day = time_day_number(&start);
    }
    if (window.has_end) {
        window.end_day = time_day_number(&end);
    }
    return window;
}

// A stub matches when its deletion day lies within the window, whole days
// compared. A stub whose date is unknown (note_info did not describe it)
// cannot be placed in a bounded window and does not match one.
bool stub_in_window(const DayWindow& window, NotesStatus info_status, const NotesTime& deleted) {
    if (!window.has_start && !window.has_end) {
        return true;
    }
    if (info_status != STATUS_NOTE_DELETED) {
        return false;
    }
    std::int64_t day = time_day_number(&deleted);
    if (window.has_end && window.end_day - day < 0) {
        return false;
    }
    if (window.has_start && day - window.start_day < 0) {
        return false;
    }
    return true;
}

// Removes one matching stub; reports a failure and returns false.
bool remove_stub(DbHandle db, NoteId note_id) {
    NotesStatus status = note_delete(db, note_id, NOTE_DELETE_STUB);
    if (status == 0) {
        return true;
    }
    out_printf("Unable to remove deletion stub for note 0x%08x\n", note_id);
    print_status_text(status);
    return false;
}

} // namespace

std::int32_t bytes_per_stub(DbHandle db) {
    std::uint16_t version = 0;
    if (db_version(db, &version) != 0) {
        return 0;
    }
    if (version <= 118) {
        return 64;
    }
    if (version <= 147) {
        return 88;
    }
    return 100;
}

NotesStatus scan_stubs(DbHandle db, NotesTime start, NotesTime end, std::int32_t* count,
                       std::uint16_t action_flags, std::int32_t* failures) {
    *count = 0;
    *failures = 0;
    const bool listing = (action_flags & ACTION_LIST) != 0;
    const bool removing = (action_flags & ACTION_REMOVE) != 0;
    const bool fetch_info = run_settings.end_days >= 0 || run_settings.start_days >= 0 || listing;

    // With a start bound, only notes modified since the day before the
    // window's start can be in it.
    NotesTime since{};
    if (run_settings.start_days > 0) {
        since = start;
        time_adjust(&since, 0, 0, 0, -1, 0, 0);
        since.words[0] = WHOLE_DAY;
    } else {
        time_constant(TIME_CONSTANT_WILDCARD, &since);
    }

    NotesTime until;
    IdTableHandle table = 0;
    NotesStatus status = db_modified_ids(db, NOTE_CLASS_ALL, since, &until, &table);
    if (status == STATUS_NO_MODIFIED) {
        return 0;
    }
    if (status != 0) {
        return status;
    }

    const std::uint32_t total = idtable_count(table);
    const WalkPace pace = choose_pace(fetch_info);
    const DayWindow window = make_window(start, end);

    // Pre-walk point.
    if (total > pace.warn_limit) {
        out_printf("There are more than %u records being searched. This may take a while...\n",
                   pace.warn_limit);
    }
    if (listing) {
        print_stub_header();
    }

    std::uint32_t processed = 0;
    std::uint32_t id = 0;
    for (int first = 1; idtable_next(table, first, &id); first = 0) {
        if ((id & STUB_FLAG) != 0) {
            const NoteId note_id = id & ~STUB_FLAG;
            NotesStatus info_status = 0;
            NotesTime modified{};
            NotesTime deleted{};
            NoteClass note_class = 0;
            if (fetch_info) {
                NoteOriginRecord origin;
                info_status = note_info(db, note_id, &origin, &modified, &note_class);
                // Should the library leave the normalised time unwritten, the
                // stub is tested with its time as returned, never with a
                // placeholder date that could put it inside the window.
                deleted = modified;
                time_normalize(&modified, 0, &deleted);
            }
            if (stub_in_window(window, info_status, deleted)) {
                // Match point.
                ++*count;
                if (listing) {
                    print_stub_line(note_id, info_status, modified, note_class);
                }
                if (removing && !remove_stub(db, note_id)) {
                    ++*failures;
                }
            }
        }

        // End-of-ID point: progress, and the only place an interrupt is seen,
        // so a stub's handling is never cut in half.
        ++processed;
        if (processed % pace.interval == 0) {
            SetConsoleCtrlHandler(console_ctrl_handler, TRUE);
            if (run_settings.show_progress != 0) {
                out_printf_flush("%u of %u records searched, %d stubs found so far\n", processed,
                                 total, *count);
            }
        }
        if (stop_requested.load(std::memory_order_relaxed) != 0) {
            break;
        }
    }
    idtable_free(table);

    // Post-walk point.
    if (run_settings.show_progress != 0 || stop_requested.load() != 0) {
        out_printf_flush("%u of %u records searched\n", processed, total);
    }
    if (removing) {
        out_printf("\n%d stubs removed\n", *count - *failures);
        if (*failures != 0) {
            out_printf("\n%d deletion stubs could not be removed\n", *failures);
        }
    } else {
        out_printf("\n");
    }
    return 0;
}

NotesStatus survey_main(int argc, char** argv) {
    switch (parse_command_line(argc, argv)) {
    case PARSE_STOP:
        return 0;
    case PARSE_FAILED:
        return STATUS_FAILURE_SHOWN;
    case PARSE_GO:
        break;
    }

    // After-parse point: from here on a console interrupt ends the walk early
    // instead of the process.
    SetConsoleCtrlHandler(console_ctrl_handler, TRUE);

    const RunSettings& settings = run_settings;
    char path[NOTES_TEXT_BUFFER];
    NotesStatus status = build_db_path(0, settings.server_name, settings.db_name, path);
    if (status != 0) {
        out_printf("Cannot create path to database %s\n", settings.db_name);
        return status;
    }

    // The window runs from start_days back to end_days back, so a larger
    // end_days would put the end before the start.
    if (settings.start_days >= 0 && settings.end_days > settings.start_days) {
        out_printf("Error: the starting time range is after the ending time range\n");
        return STATUS_FAILURE_SHOWN;
    }

    // The time operations' results are not tested; every value starts as a
    // copy of its input so that an operation that fails without writing its
    // output leaves a defined time behind, never stack garbage.
    NotesTime now{};
    time_now(&now);
    NotesTime start = now;
    NotesTime end = now;
    if (settings.start_days < 0) {
        time_constant(TIME_CONSTANT_WILDCARD, &start);
    } else {
        time_normalize(&now, 0, &start);
        time_adjust(&start, 0, 0, 0, -settings.start_days, 0, 0);
    }
    time_normalize(&now, 0, &end);
    if (settings.end_days >= 0) {
        time_adjust(&end, 0, 0, 0, -settings.end_days, 0, 0);
    }

    DbHandle db = 0;
    status = db_open(path, &db);
    if (status != 0) {
        out_printf("Unable to open database: %s\n", settings.db_name);
        print_status_text(status);
        return STATUS_FAILURE_SHOWN;
    }

    std::int32_t count = 0;
    std::int32_t failures = 0;
    NotesStatus result = 0;
    status = scan_stubs(db, start, end, &count, settings.action_flags, &failures);
    if (status != 0) {
        out_printf("\nError getting deletion stubs\n");
        print_status_text(status);
        result = STATUS_FAILURE_SHOWN;
    } else {
        out_printf("%d stubs found\n", count);
        const std::int32_t stub_size = bytes_per_stub(db);
        out_printf("Total space used @ %d bytes per stub = %lld bytes\n", stub_size,
                   static_cast<long long>(stub_size) * count);
        if (failures != 0) {
            result = STATUS_FAILURE_SHOWN;
        }
    }

    db_close(db);
    return result;
}
