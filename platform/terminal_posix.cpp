#include "platform/terminal.h"

#include <cstdio>
#include <unistd.h>

bool stdout_is_terminal() {
    return isatty(fileno(stdout)) != 0;
}
