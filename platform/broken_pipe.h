// Writes to a pipe whose reader has gone.
#pragma once

// Makes such a write fail with an error the output can see, as it does on
// Windows, instead of ending the process by a signal in the middle of a run.
void ignore_broken_pipe();
