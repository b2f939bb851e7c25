#include "app/startup.h"

#include "app/exit_status.h"
#include "notes/notes_api.h"
#include "output/console_output.h"
#include "survey/interrupt.h"
#include "survey/survey.h"

namespace {

void print_failure_text(NotesStatus status, const char* text) {
    if ((status & STATUS_SHOWN) == 0) {
        out_printf("\r\n%s\r\n\r\n", text);
    }
}

// The end of every run: what is still buffered goes out, and a handler
// waiting for the run's end may return. A report that did not reach its
// reader turns a success into a failure.
int finish_run(int exit_status) {
    const bool delivered = out_flush();
    mark_run_finished();
    return delivered || exit_status != EXIT_OK ? exit_status : EXIT_FAILED;
}

} // namespace

int startup_main(int argc, char** argv) {
    char text[NOTES_TEXT_BUFFER];
    mark_run_started();

    NotesStatus status = notes_init(argc, argv);
    if (status != 0) {
        init_error_text(status, text, NOTES_TEXT_MAX);
        print_failure_text(status, text);
        return finish_run(EXIT_RUNTIME_UNAVAILABLE);
    }

    // From here on the runtime's own copy of the command line is used.
    status = notes_setup_args(argc, argv, &argc, &argv);
    if (status != 0) {
        init_error_text(status, text, NOTES_TEXT_MAX);
        print_failure_text(status, text);
        notes_term();
        return finish_run(EXIT_RUNTIME_UNAVAILABLE);
    }

    status = notes_program_begin(&startup_main, argc, argv, 0, 0);
    if (status == 0) {
        status = survey_main(argc, argv);
        if (status != 0 && (status & STATUS_SHOWN) == 0) {
            program_error_text(status, text, NOTES_TEXT_MAX);
            print_failure_text(status, text);
        }
    }

    notes_program_end(argc, argv);
    notes_term();
    return finish_run(status == 0 ? EXIT_OK : EXIT_FAILED);
}
