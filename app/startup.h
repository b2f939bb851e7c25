// The process's main routine: brackets the survey between the start and the
// end of the Notes runtime and turns its outcome into the exit status.
#pragma once

int startup_main(int argc, char** argv);
