#include "survey/survey.h"

#include "app/command_line.h"
#include "notes/notes_api.h"
#include "output/console_output.h"
#include "survey/interrupt.h"
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

    bool bounded() const { return has_start || has_end; }
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
// compared. With neither bound every stub matches.
bool stub_in_window(const DayWindow& window, const NotesTime& deleted) {
    if (!window.bounded()) {
        return true;
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

// Reports a removal that failed, with the status that says why, and puts the
// report on its way to the log before the walk goes on.
void report_removal_failure(NoteId note_id, NotesStatus status) {
    out_printf("Unable to remove deletion stub for note 0x%08x\n", note_id);
    print_status_text(status);
    out_flush();
}

// Removes one matching stub; reports a failure and returns false. A stub
// whose note information was read is removed only when the library
// confirmed it as a deletion stub; none is removed once the output has
// failed, for then its removal could not be recorded.
bool remove_stub(DbHandle db, NoteId note_id, bool info_read, NotesStatus info_status) {
    if (out_failed()) {
        return false;
    }
    if (info_read && info_status != STATUS_NOTE_DELETED) {
        report_removal_failure(note_id, info_status);
        return false;
    }
    NotesStatus status = note_delete(db, note_id, NOTE_DELETE_STUB);
    if (status == 0) {
        return true;
    }
    report_removal_failure(note_id, status);
    return false;
}

// The window's start and end from the current time. Returns the status of
// the first time operation that failed among those whose result the window
// uses (a bound that is not set uses none), or 0. Every value starts as a
// copy of its input, so that even an unused result is a defined time.
NotesStatus compute_window(NotesTime* start, NotesTime* end) {
    const RunSettings& settings = run_settings;
    NotesTime now{};
    time_now(&now);
    *start = now;
    *end = now;
    NotesStatus status = 0;
    if (settings.start_days < 0) {
        time_constant(TIME_CONSTANT_WILDCARD, start);
    } else {
        status = time_normalize(&now, 0, start);
        if (status == 0) {
            status = time_adjust(start, 0, 0, 0, -settings.start_days, 0, 0);
        }
    }
    NotesStatus end_status = time_normalize(&now, 0, end);
    if (end_status == 0 && settings.end_days >= 0) {
        end_status = time_adjust(end, 0, 0, 0, -settings.end_days, 0, 0);
    }
    // The end is used only with an end bound.
    if (status == 0 && settings.end_days >= 0) {
        status = end_status;
    }
    return status;
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
                       std::uint16_t action_flags, WalkShortfalls* shortfalls) {
    *count = 0;
    *shortfalls = WalkShortfalls{};
    const bool listing = (action_flags & ACTION_LIST) != 0;
    const bool removing = (action_flags & ACTION_REMOVE) != 0;
    const bool fetch_info = run_settings.end_days >= 0 || run_settings.start_days >= 0 || listing;

    // With a start bound, only notes modified since the day before the
    // window's start can be in it. Should that day not be computed, the query
    // takes every note: slower, never narrower than the window.
    NotesTime since = start;
    if (run_settings.start_days > 0 && time_adjust(&since, 0, 0, 0, -1, 0, 0) == 0) {
        since.words[0] = WHOLE_DAY;
    } else {
        time_constant(TIME_CONSTANT_WILDCARD, &since);
    }

    NotesTime until;
    IdTableHandle table{};
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
        bool wrote = false; // whether this ID printed anything, whose write may have failed
        if ((id & STUB_FLAG) != 0) {
            const NoteId note_id = id & ~STUB_FLAG;
            NotesStatus info_status = 0;
            NotesStatus time_status = 0;
            NotesTime modified{};
            NotesTime deleted{};
            NoteClass note_class = 0;
            if (fetch_info) {
                NoteOriginRecord origin;
                info_status = note_info(db, note_id, &origin, &modified, &note_class);
                time_status = time_normalize(&modified, 0, &deleted);
            }
            if (window.bounded() && (info_status != STATUS_NOTE_DELETED || time_status != 0)) {
                // Its date is unknown: it cannot be placed in the window, and
                // the run says how many such stubs it passed over.
                ++shortfalls->unreadable;
            } else if (stub_in_window(window, deleted)) {
                // Match point.
                ++*count;
                wrote = listing || removing;
                if (listing) {
                    print_stub_line(note_id, info_status, modified, note_class);
                }
                if (removing) {
                    // The log names each stub before its removal is tried.
                    if (listing) {
                        out_flush();
                    }
                    if (!remove_stub(db, note_id, fetch_info, info_status)) {
                        ++shortfalls->failures;
                    }
                }
            }
        }

        // End-of-ID point: progress, and the only place an interrupt is seen,
        // so a stub's handling is never cut in half.
        ++processed;
        if (processed % pace.interval == 0) {
            SetConsoleCtrlHandler(console_ctrl_handler, TRUE);
            if (run_settings.show_progress != 0) {
                wrote = true;
                out_printf_flush("%u of %u records searched, %d stubs found so far\n", processed,
                                 total, *count);
            }
        }
        // A failed write stops the walk as an interrupt does: what it did
        // could no longer be reported. (Only an ID that wrote can have seen
        // one; an interrupt line that failed comes with the stop itself.)
        if (stop_requested.load(std::memory_order_relaxed) != 0 || (wrote && out_failed())) {
            break;
        }
    }
    idtable_free(table);

    // Post-walk point.
    if (run_settings.show_progress != 0 || stop_requested.load() != 0) {
        out_printf_flush("%u of %u records searched\n", processed, total);
    }
    if (removing) {
        out_printf("\n%d stubs removed\n", *count - shortfalls->failures);
        if (shortfalls->failures != 0) {
            out_printf("\n%d deletion stubs could not be removed\n", shortfalls->failures);
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

    NotesTime start{};
    NotesTime end{};
    status = compute_window(&start, &end);
    if (status != 0) {
        out_printf("Unable to compute the day window\n");
        print_status_text(status);
        return STATUS_FAILURE_SHOWN;
    }

    DbHandle db{};
    status = db_open(path, &db);
    if (status != 0) {
        out_printf("Unable to open database: %s\n", settings.db_name);
        print_status_text(status);
        return STATUS_FAILURE_SHOWN;
    }

    std::int32_t count = 0;
    WalkShortfalls shortfalls{};
    NotesStatus result = 0;
    status = scan_stubs(db, start, end, &count, settings.action_flags, &shortfalls);
    if (status != 0) {
        out_printf("\nError getting deletion stubs\n");
        print_status_text(status);
        result = STATUS_FAILURE_SHOWN;
    } else {
        out_printf("%d stubs found\n", count);
        const std::int32_t stub_size = bytes_per_stub(db);
        out_printf("Total space used @ %d bytes per stub = %lld bytes\n", stub_size,
                   static_cast<long long>(stub_size) * count);
        if (shortfalls.unreadable != 0) {
            out_printf("%d deletion stubs could not be read and were not counted\n",
                       shortfalls.unreadable);
        }
        if (shortfalls.failures != 0 || shortfalls.unreadable != 0) {
            result = STATUS_FAILURE_SHOWN;
        }
    }

    db_close(db);
    return result;
}
