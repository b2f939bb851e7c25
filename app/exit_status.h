// The tool's exit statuses, all in one place.
#pragma once

// The run did what was asked (a run that only showed the usage included).
constexpr int EXIT_OK = 0;
// Any failure once the Notes runtime is up: bad arguments, a database that
// cannot be opened or read, a removal that failed, ... (255 to a shell).
constexpr int EXIT_FAILED = -1;
// The Notes runtime could not be started (its initialisation or its taking
// over of the command line failed); nothing was examined.
constexpr int EXIT_RUNTIME_UNAVAILABLE = 3;
