#pragma once

// Windows builds only: the console control handler behind CatchInterrupts, for its tests.
namespace qv31 {

// The signal a console event counts as: Ctrl-C and Ctrl-Break SIGINT, closing the console,
// logging off and shutting down SIGTERM.
int ConsoleEventSignal(unsigned long event);
// The handler itself: true when it took the event, false for a third one (the system then
// ends the process as usual).
bool HandleConsoleEvent(unsigned long event);

}  // namespace qv31
