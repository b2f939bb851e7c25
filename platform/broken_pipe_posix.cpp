#include "platform/broken_pipe.h"

#include <csignal>

void ignore_broken_pipe() {
    // SIGPIPE's default action would end the process wherever it is, even
    // between a removal and its report; ignored, the write fails with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}
