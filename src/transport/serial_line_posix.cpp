// The kernel's own termios2 interface, not <termios.h>: it is the only way to set a rate
// without a B constant (14400), and the two headers cannot be mixed.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "transport/line_termios.h"

namespace qv31 {
namespace {

static_assert(NCCS == std::tuple_size_v<decltype(LineTermios::cc)>);

struct RateConstant {
  uint32_t baud;
  uint32_t bits;
};

// Rates with a B constant. Every other rate, 14400 among them, goes as a number with BOTHER.
constexpr RateConstant RATE_CONSTANTS[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

constexpr uint32_t DATA_BITS_SIZE[] = {CS5, CS6, CS7, CS8};  // for 5, 6, 7, 8 data bits

struct ParityBits {
  char letter;
  uint32_t bits;
};

// Mark and space are "stick" parity: CMSPAR with PARODD for mark, without for space.
constexpr ParityBits PARITY_BITS[] = {
    {'n', 0},
    {'o', PARENB | PARODD},
    {'e', PARENB},
    {'m', PARENB | PARODD | CMSPAR},
    {'s', PARENB | CMSPAR},
};

struct ErrnoReason {
  int errorNumber;
  PortError error;
};

constexpr ErrnoReason ERRNO_REASONS[] = {
    {ENOENT, PortError::Missing},
    {ENODEV, PortError::Missing},
    {ENXIO, PortError::Missing},
    {ENOTDIR, PortError::Missing},
    {EBUSY, PortError::Busy},
    {EWOULDBLOCK, PortError::Busy},
    {EACCES, PortError::PermissionDenied},
    {EPERM, PortError::PermissionDenied},
    {EROFS, PortError::PermissionDenied},
    {ENOTTY, PortError::NotSerial},
    {EISDIR, PortError::NotSerial},
    {EINVAL, PortError::NotSerial},
};

PortError ReasonForErrno(int errorNumber) {
  for (const auto& r : ERRNO_REASONS) {
    if (r.errorNumber == errorNumber) return r.error;
  }
  return PortError::Other;
}

// Errors after which the descriptor will never work again.
bool IsLostErrno(int errorNumber) {
  return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV ||
         errorNumber == EBADF;
}

LineTermios FromKernel(const termios2& k) {
  LineTermios t;
  t.iflag = k.c_iflag;
  t.oflag = k.c_oflag;
  t.cflag = k.c_cflag;
  t.lflag = k.c_lflag;
  t.line = k.c_line;
  std::copy(std::begin(k.c_cc), std::end(k.c_cc), t.cc.begin());
  t.ispeed = k.c_ispeed;
  t.ospeed = k.c_ospeed;
  return t;
}

termios2 ToKernel(const LineTermios& t) {
  termios2 k{};
  k.c_iflag = t.iflag;
  k.c_oflag = t.oflag;
  k.c_cflag = t.cflag;
  k.c_lflag = t.lflag;
  k.c_line = t.line;
  std::copy(t.cc.begin(), t.cc.end(), std::begin(k.c_cc));
  k.c_ispeed = t.ispeed;
  k.c_ospeed = t.ospeed;
  return k;
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

LineTermios ComposeLineTermios(const LineTermios& current, uint32_t baud, LineFormat format) {
  LineTermios t = current;
  // Raw mode as cfmakeraw sets it, plus no software flow control and no parity checking of
  // input: every byte reaches the caller as it came, and the frame CRC judges it.
  t.iflag &=
      ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  t.oflag &= ~OPOST;
  t.lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  const uint32_t keptSize = current.cflag & CSIZE;
  t.cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.cflag |= CLOCAL | CREAD;
  const bool sized = format.dataBits >= 5 && format.dataBits <= 8;
  t.cflag |= sized ? DATA_BITS_SIZE[format.dataBits - 5] : keptSize;
  for (const auto& p : PARITY_BITS) {
    if (p.letter == format.parity) t.cflag |= p.bits;
  }
  if (format.stopBits == 2) t.cflag |= CSTOPB;
  // Reads never wait (the descriptor is non-blocking); VMIN 1 keeps an empty read an EAGAIN,
  // so that a read of 0 bytes can only mean a hung-up device.
  t.cc[VMIN] = 1;
  t.cc[VTIME] = 0;
  if (baud != 0) {
    // Input rate bits 0: the input rate follows the output rate.
    t.cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    const auto* known = std::find_if(std::begin(RATE_CONSTANTS), std::end(RATE_CONSTANTS),
                                     [&](const RateConstant& r) { return r.baud == baud; });
    t.cflag |= known != std::end(RATE_CONSTANTS) ? known->bits : BOTHER;
    t.ispeed = baud;
    t.ospeed = baud;
  }
  return t;
}

LineSettings DescribeLineTermios(const LineTermios& t) {
  LineSettings s;
  const uint32_t rateBits = t.cflag & CBAUD;
  if (rateBits == BOTHER) {
    s.baud = t.ospeed;
    s.customRate = true;
  } else {
    for (const auto& r : RATE_CONSTANTS) {
      if (r.bits == rateBits) s.baud = r.baud;
    }
  }
  const uint32_t parity = t.cflag & (PARENB | PARODD | CMSPAR);
  s.format.parity = '?';
  for (const auto& p : PARITY_BITS) {
    if (p.bits == parity) s.format.parity = p.letter;
  }
  if ((t.cflag & PARENB) == 0) s.format.parity = 'n';
  for (int i = 0; i < 4; ++i) {
    if ((t.cflag & CSIZE) == DATA_BITS_SIZE[i]) s.format.dataBits = 5 + i;
  }
  s.format.stopBits = (t.cflag & CSTOPB) != 0 ? 2 : 1;
  s.raw = (t.lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN)) == 0 && (t.oflag & OPOST) == 0 &&
          (t.iflag & (BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL)) == 0;
  s.flowControl = (t.cflag & CRTSCTS) != 0 || (t.iflag & (IXON | IXOFF)) != 0;
  s.receiverOn = (t.cflag & (CREAD | CLOCAL)) == (CREAD | CLOCAL);
  s.minChars = t.cc[VMIN];
  s.timeTenths = t.cc[VTIME];
  return s;
}

struct SerialLine::Overlapped {};

SerialLine::SerialLine() = default;

void SerialLine::SetQuietGap(uint32_t) {}
bool SerialLine::GapSeen() const { return false; }
SerialLine::~SerialLine() { Close(); }

void SerialLine::Fail(PortError error, int errorNumber) {
  error_ = error;
  errorNumber_ = errorNumber;
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
}

bool SerialLine::Open(std::string_view path, uint32_t baud, LineFormat format) {
  Close();
  lost_.store(false, std::memory_order_relaxed);
  error_ = PortError::None;
  errorNumber_ = 0;
  path_ = path.find('/') == std::string_view::npos && !path.empty() ? "/dev/" + std::string(path)
                                                                    : std::string(path);
  if (path.empty()) {
    Fail(PortError::Missing, ENOENT);
    return false;
  }
  handle_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (handle_ < 0) {
    const int e = errno;
    Fail(ReasonForErrno(e), e);
    return false;
  }
  termios2 kernel{};
  if (::ioctl(handle_, TCGETS2, &kernel) != 0) {
    const int e = errno;
    Fail(ReasonForErrno(e), e);
    return false;
  }
  // TIOCEXCL makes further opens fail with EBUSY, except for root (CAP_SYS_ADMIN); the
  // advisory lock also stops root and every program that asks for it the same way.
  if (::flock(handle_, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    Fail(e == EWOULDBLOCK ? PortError::Busy : ReasonForErrno(e), e);
    return false;
  }
  ::ioctl(handle_, TIOCEXCL);
  const termios2 wanted = ToKernel(ComposeLineTermios(FromKernel(kernel), baud, format));
  // A device that refuses a setting keeps its own; the link then simply gets no answers.
  ::ioctl(handle_, TCSETS2, &wanted);
  ::ioctl(handle_, TCFLSH, TCIOFLUSH);
  return true;
}

void SerialLine::Close() {
  if (handle_ < 0) return;
  // Discarding pending output also keeps close() from waiting for a line that cannot drain.
  ::ioctl(handle_, TCFLSH, TCIOFLUSH);
  ::ioctl(handle_, TIOCNXCL);
  ::close(handle_);
  handle_ = -1;
}

int32_t SerialLine::Read(uint8_t* buffer, int32_t maximum) {
  if (buffer == nullptr || maximum < 1) return -1;
  if (handle_ < 0 || Lost()) return 0;
  for (;;) {
    const ssize_t n = ::read(handle_, buffer, static_cast<size_t>(maximum));
    if (n > 0) return static_cast<int32_t>(n);
    // With VMIN 1 on a non-blocking descriptor an idle line gives EAGAIN; end of file only
    // comes from a hung-up device.
    if (n == 0 || IsLostErrno(errno)) {
      MarkLost();
      return 0;
    }
    if (errno != EINTR) return 0;
  }
}

int32_t SerialLine::Write(const uint8_t* data, int32_t length, uint32_t timeoutMs) {
  if (data == nullptr || length < 0) return -1;
  if (handle_ < 0 || Lost()) return 0;
  const int64_t deadline = NowMs() + timeoutMs;
  int32_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(handle_, data + done, static_cast<size_t>(length - done));
    if (n > 0) {
      done += static_cast<int32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      if (IsLostErrno(errno)) MarkLost();
      break;
    }
    const int64_t left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{Fd(), POLLOUT, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      MarkLost();
      break;
    }
  }
  return done;
}

int SerialLine::WaitReadable(int timeoutMs) {
  if (handle_ < 0 || Lost()) return -1;
  pollfd p{Fd(), POLLIN, 0};
  const int r = ::poll(&p, 1, std::max(timeoutMs, 0));
  if (r <= 0) return 0;
  if ((p.revents & POLLIN) != 0) return 1;  // bytes still buffered are read before the end
  if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    MarkLost();
    return -1;
  }
  return 0;
}

bool SerialLine::ReadSettings(LineSettings& settings) const {
  if (handle_ < 0) return false;
  termios2 kernel{};
  if (::ioctl(handle_, TCGETS2, &kernel) != 0) return false;
  settings = DescribeLineTermios(FromKernel(kernel));
  return true;
}

bool MakeRawTerminal(int fd) {
  // What cfmakeraw does, through the same termios2 calls as the line itself.
  termios2 mode{};
  if (::ioctl(fd, TCGETS2, &mode) != 0) return false;
  mode.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  mode.c_oflag &= ~OPOST;
  mode.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cflag = (mode.c_cflag & ~(CSIZE | PARENB)) | CS8;
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  return ::ioctl(fd, TCSETS2, &mode) == 0;
}

}  // namespace qv31
