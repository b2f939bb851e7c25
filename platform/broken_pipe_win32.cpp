#include "platform/broken_pipe.h"

void ignore_broken_pipe() {
    // Windows has no SIGPIPE: a write to a closed pipe already fails.
}
