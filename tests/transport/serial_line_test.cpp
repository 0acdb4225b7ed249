#include "transport/serial_line.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <tuple>

#include "transport/line_termios.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

// What Open writes, checked on the termios2 bits themselves (a pseudo-terminal would force
// 8 data bits and no parity and hide mistakes there). Linux ABI values: B1200 0x9, B2400 0xb,
// B9600 0xd, B57600 0x1001, B115200 0x1002, BOTHER 0x1000, CS7 0x20, CS8 0x30,
// CSTOPB 0x40, CREAD 0x80, PARENB 0x100, PARODD 0x200, CLOCAL 0x800, CMSPAR 0x40000000.
TEST(SerialLine, ComposedSettings) {
  LineTermios cooked;  // every flag set: echo, canonical, flow control, whatever was there
  cooked.iflag = cooked.oflag = cooked.cflag = cooked.lflag = 0xFFFFFFFFu;
  cooked.ospeed = cooked.ispeed = 38400;
  const LineTermios blank;
  // Both rates, size, stop bits, parity, CREAD, CLOCAL and CRTSCTS; other bits are kept as read.
  constexpr uint32_t LINE_BITS = 0xD00F1BFFu;
  // {current settings, baud, format text, expected LINE_BITS of cflag, expected rate}
  const std::tuple<const LineTermios*, uint32_t, const char*, uint32_t, uint32_t> cases[] = {
      {&cooked, 9600, "n,8,1", 0x8bd, 9600},
      {&cooked, 14400, "E,8,2", 0x19f0, 14400},
      {&blank, 1200, "o,7,1", 0xba9, 1200},
      {&blank, 115200, "M,8,1", 0x40001bb2, 115200},
      {&cooked, 57600, "s,8,2", 0x400019f1, 57600},
      {&cooked, 2400, "q,9,1", 0x8bb, 2400},   // unknown parity: none; size kept (CS8)
      {&cooked, 0, "e,8", 0x100F19FF, 38400},  // rate 0 keeps the rate, never hangs up
  };
  for (const auto& [current, baud, format, cflag, speed] : cases) {
    SCOPED_TRACE(std::to_string(baud) + " " + format);
    const LineTermios t = ComposeLineTermios(*current, baud, ParseFormatText(format));
    EXPECT_EQ(t.cflag & LINE_BITS, cflag);
    EXPECT_EQ(t.ospeed, speed);
    const LineSettings s = DescribeLineTermios(t);
    EXPECT_TRUE(s.raw && !s.flowControl && s.receiverOn && s.minChars == 1 && s.timeTenths == 0);
  }
}

PortError OpenError(const std::string& path) {
  SerialLine line;
  return line.Open(path, 9600, LineFormat{}) ? PortError::None : line.Error();
}

// Runs `body` in a child process as an ordinary user (root drops to "nobody" there); returns
// its result, or -1 when the child could not run it.
int AsOrdinaryUser(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped = ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 &&
                                              ::setgid(65534) == 0 && ::setuid(65534) == 0);
    ::_exit(dropped ? body() : 255);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

TEST(SerialLine, OpenFailuresHaveReasons) {
  char dir[] = "/tmp/qv31-line-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  ::chmod(dir, 0755);
  const std::string file = std::string(dir) + "/ttyX";
  std::fclose(std::fopen(file.c_str(), "w"));
  EXPECT_EQ(OpenError(std::string(dir) + "/ttyUSB9"), PortError::Missing);
  EXPECT_EQ(OpenError(""), PortError::Missing);
  EXPECT_EQ(OpenError(file), PortError::NotSerial);
  ::chmod(file.c_str(), 0);
  EXPECT_EQ(AsOrdinaryUser([&] { return static_cast<int>(OpenError(file)); }),
            static_cast<int>(PortError::PermissionDenied));
  std::remove(file.c_str());
  ::rmdir(dir);
}

TEST(SerialLine, ExclusiveOpen) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  SerialLine first;
  ASSERT_TRUE(first.Open(pty.slavePath, 9600, LineFormat{}));
  EXPECT_EQ(OpenError(pty.slavePath), PortError::Busy);  // root passes TIOCEXCL, not the lock
  // Any other program, even one that ignores the lock, is refused at open() by TIOCEXCL
  // unless it runs as root.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(pty.slavePath.c_str(), 65534, 65534), 0);
  }
  EXPECT_EQ(AsOrdinaryUser([&] { return ::open(pty.slavePath.c_str(), O_RDWR) < 0 ? errno : 0; }),
            EBUSY);
  first.Close();
  EXPECT_EQ(OpenError(pty.slavePath), PortError::None);
}

}  // namespace
}  // namespace qv31
