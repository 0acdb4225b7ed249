#include "cli/interrupt.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <tuple>

#include "cli/console_events.h"

namespace qv31 {
namespace {

// The console's events reach the tool as signals do on Linux, with the same exit statuses; the
// write they interrupt ends at a frame boundary (the command line's own tests show that part).
// Wine cannot send a console event to a program without a console, so the handler is called.
TEST(ConsoleInterrupt, EventsCountAsSignals) {
  const std::tuple<DWORD, int> events[] = {{CTRL_C_EVENT, 2},
                                           {CTRL_BREAK_EVENT, 2},
                                           {CTRL_CLOSE_EVENT, 15},
                                           {CTRL_LOGOFF_EVENT, 15},
                                           {CTRL_SHUTDOWN_EVENT, 15}};
  for (const auto& [event, signal] : events) EXPECT_EQ(ConsoleEventSignal(event), signal);

  CatchInterrupts();
  ASSERT_EQ(CaughtSignal(), 0);
  EXPECT_TRUE(HandleConsoleEvent(CTRL_C_EVENT));
  EXPECT_EQ(CaughtSignal(), 2);
  EXPECT_EQ(InterruptedStatus(), 130);
  EXPECT_EQ(InterruptName(), "Ctrl-C");
  // A second one stops the wait for the frame in flight, a third ends the program.
  EXPECT_TRUE(HandleConsoleEvent(CTRL_BREAK_EVENT));
  EXPECT_EQ(CaughtSignalCount(), 2);
  EXPECT_FALSE(HandleConsoleEvent(CTRL_C_EVENT));
  EXPECT_EQ(InterruptedStatus(), 130);
}

}  // namespace
}  // namespace qv31
