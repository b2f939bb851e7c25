// Process entry: binds the platform's Notes library and runs the tool.
#include "app/exit_status.h"
#include "app/startup.h"
#include "notes/notes_platform.h"
#include "output/console_output.h"
#include "platform/broken_pipe.h"

int main(int argc, char** argv) {
    ignore_broken_pipe();
    out_init();
    if (!notes_bind_platform()) {
        out_printf("The Notes library could not be loaded.\n");
        out_flush();
        return EXIT_RUNTIME_UNAVAILABLE;
    }
    return startup_main(argc, argv);
}
