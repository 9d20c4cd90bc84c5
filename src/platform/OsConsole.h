// The console of a tool: whether an output stream is a terminal that shows
// colour, and the user's interrupt (Ctrl-C). Tools only; the library uses
// neither.
#pragma once

// Standard streams, in the C library's numbering.
constexpr int OS_STDOUT = 1;
constexpr int OS_STDERR = 2;

// True when the stream is a terminal that takes ANSI colour sequences; on a
// Windows console this switches such sequences on first, and says false when
// the console cannot take them.
bool OsIsTerminal(int nStream);

// Calls pfnHandler when the user interrupts (Ctrl-C, Ctrl-Break, SIGTERM)
// instead of ending the process. The handler runs in a signal context or on a
// thread of the system: it may only set a flag. Blocking waits of the caller
// are not cut short: poll the flag at intervals.
void OsSetInterruptHandler(void (*pfnHandler)());
