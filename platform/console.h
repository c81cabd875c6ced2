#pragma once
// The terminal, for tools that run until the user stops them. Main thread.

namespace platform {

// From now on Ctrl+C (SIGINT) and SIGTERM only set a flag that
// InterruptRequested reports, so the tool can stop cleanly.
void CatchInterrupt();
bool InterruptRequested();
// Forgets an interrupt seen so far (tests; the handlers stay installed).
void ResetInterrupt();

// Waits up to `milliseconds` for a line on standard input and consumes it;
// true when one came (Enter pressed, or a line piped in). At the end of
// input it returns true too, so a closed input ends a session rather than
// leaving it without a way to stop.
bool ConsoleLineEntered(unsigned milliseconds);

// True when standard output is a terminal (an updating status line makes
// sense there).
bool StandardOutputIsTerminal();
// The same for standard error (progress lines of tools that write files).
bool StandardErrorIsTerminal();

}  // namespace platform
