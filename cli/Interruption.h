#pragma once
// Ctrl-C (SIGINT), SIGTERM and SIGHUP stop the work in an orderly way: the
// handler only notes the signal; the engine sees it at its next piece of
// copy or library callback (through TerminalHost, as CancelRequested), the
// command drops its temporary output and leaves every file as it was. A
// second signal of the same kind ends the process at once; the next run
// then removes what it left (PendingFile::removeStaleTemporaries).

class Interruption {
public:
    static void install();
    // The signal received, or 0.
    static int signal();
    static bool requested() { return signal() != 0; }
    // The exit code of a process stopped by the signal: 128 + its number.
    static int exitCode();
};
