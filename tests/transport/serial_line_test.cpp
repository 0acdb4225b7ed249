#include "transport/serial_line.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <functional>

#include "transport/pty_pair.h"

namespace qv31 {
namespace {

// What Open writes, checked on the termios2 bits themselves (a pseudo-terminal would force
// 8 data bits and no parity and hide mistakes there). Expected control flags are the Linux ABI
// values of <asm-generic/termbits.h>: B1200 0x9, B2400 0xb, B4800 0xc, B9600 0xd,
// B57600 0x1001, B115200 0x1002, BOTHER 0x1000, CS5 0, CS7 0x20, CS8 0x30, CSTOPB 0x40,
// CREAD 0x80, PARENB 0x100, PARODD 0x200, CLOCAL 0x800, CMSPAR 0x40000000.
TEST(SerialLine, ComposedSettings) {
  LineTermios cooked;  // every flag set: echo, canonical, flow control, whatever was there
  cooked.iflag = cooked.oflag = cooked.cflag = cooked.lflag = 0xFFFFFFFFu;
  cooked.ospeed = cooked.ispeed = 38400;
  const LineTermios blank;
  LineTermios at9600;
  at9600.cflag = 0xd;
  at9600.ospeed = at9600.ispeed = 9600;
  // Both rates, size, stop bits, parity, CREAD, CLOCAL and CRTSCTS; other bits are kept as read.
  constexpr uint32_t LINE_BITS = 0xD00F1BFFu;
  struct Case {
    const LineTermios* current;
    uint32_t baud;
    const char* format;
    uint32_t cflag;
    uint32_t speed;
  } cases[] = {
      {&cooked, 9600, "n,8,1", 0x8bd, 9600},
      {&cooked, 14400, "E,8,2", 0x19f0, 14400},
      {&blank, 1200, "o,7,1", 0xba9, 1200},
      {&blank, 115200, "M,8,1", 0x40001bb2, 115200},
      {&cooked, 57600, "s,8,2", 0x400019f1, 57600},
      {&cooked, 2400, "q,9,1", 0x8bb, 2400},  // unknown parity: none; size kept (CS8)
      {&blank, 4800, "n,x,0", 0x8cc, 4800},   // size kept (CS5); stop "0" means two
      {&at9600, 0, "e,8", 0x9fd, 9600},       // rate 0 keeps the rate, never hangs up
      {&blank, 19200, "", 0x8ce, 19200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.baud) + " " + c.format);
    const LineTermios t = ComposeLineTermios(*c.current, c.baud, c.format);
    EXPECT_EQ(t.cflag & LINE_BITS, c.cflag);
    EXPECT_EQ(t.ospeed, c.speed);
    const LineSettings s = DescribeLineTermios(t);
    EXPECT_TRUE(s.raw && !s.flowControl && s.receiverOn);
    EXPECT_EQ(s.minChars, 1);
    EXPECT_EQ(s.timeTenths, 0);
  }
}

TEST(SerialLine, PseudoTerminalRawAt14400UntilTheOtherSideCloses) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  SerialLine line;
  ASSERT_TRUE(line.Open(pty.slavePath, 14400, "e,8,2"));
  LineSettings s;
  ASSERT_TRUE(line.ReadSettings(s));
  EXPECT_EQ(s.baud, 14400u);
  EXPECT_TRUE(s.customRate && s.raw);
  EXPECT_EQ(s.format.stopBits, 2);

  uint8_t buffer[16];
  EXPECT_EQ(line.Read(buffer, sizeof buffer), 0);                     // idle line
  const std::vector<uint8_t> bytes = {'\r', '\n', 0x03, 0x11, 0xFF};  // untranslated when raw
  ASSERT_TRUE(pty.Send(bytes));
  ASSERT_EQ(line.WaitReadable(2000), 1);
  ASSERT_EQ(line.Read(buffer, sizeof buffer), 5);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 5), bytes);
  EXPECT_EQ(line.Write(bytes.data(), 5, 100), 5);
  EXPECT_EQ(pty.Receive(5, 2000), bytes);
  EXPECT_FALSE(line.Lost());

  pty.CloseMaster();
  EXPECT_EQ(line.Read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(line.Lost());
  const int64_t start = SteadyMs();
  EXPECT_EQ(line.WaitReadable(1000), -1);  // at once, so a caller cannot spin on it
  EXPECT_LT(SteadyMs() - start, 500);
  EXPECT_EQ(line.Write(buffer, 8, 1000), 0);
}

// Runs `body` in a child process as an ordinary user (root drops to "nobody"); returns the
// child's exit code.
int AsOrdinaryUser(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(100);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

PortError OpenError(const std::string& path) {
  SerialLine line;
  return line.Open(path, 9600, "n,8,1") ? PortError::None : line.Error();
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
  EXPECT_EQ(OpenError(dir), PortError::NotSerial);
  ::chmod(file.c_str(), 0);
  EXPECT_EQ(AsOrdinaryUser([&] {
              return OpenError(file) == PortError::PermissionDenied &&
                             PortErrorText(PortError::PermissionDenied).find("dialout") !=
                                 std::string_view::npos
                         ? 0
                         : 1;
            }),
            0);
  std::remove(file.c_str());
  ::rmdir(dir);
}

TEST(SerialLine, ExclusiveOpen) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  SerialLine first;
  ASSERT_TRUE(first.Open(pty.slavePath, 9600, "n,8,1"));
  EXPECT_EQ(OpenError(pty.slavePath), PortError::Busy);  // root passes TIOCEXCL, not the lock
  // An ordinary user allowed to open the device is refused by TIOCEXCL at open().
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(pty.slavePath.c_str(), 65534, 65534), 0);
  }
  EXPECT_EQ(AsOrdinaryUser([&] { return OpenError(pty.slavePath) == PortError::Busy ? 0 : 1; }), 0);
  first.Close();
  EXPECT_EQ(OpenError(pty.slavePath), PortError::None);
}

}  // namespace
}  // namespace qv31
