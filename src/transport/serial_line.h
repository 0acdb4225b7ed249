#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qv31 {

// Why a serial device could not be opened; each reason is something an operator can act on.
enum class PortError : uint8_t {
  None = 0,
  Missing,           // no such device (unplugged, wrong name)
  Busy,              // another program holds it
  PermissionDenied,  // the user may not open it
  NotSerial,         // the path is not a terminal device
  Other,
  Lost,  // an open device went away; never the result of Open, see SerialLine::Lost()
};

// Frame format as a format text such as "n,8,1" describes it: the first character is the
// parity (e, o, m, s; anything else means none), the character at index 2 the data bits, the
// character at index 4 the stop bits ("1" gives one, anything else two). Letter case does not
// matter. Data bits outside 5..8 (including a missing or non-digit character) are 0: the
// device keeps the size it has.
struct LineFormat {
  char parity = 'n';  // n, o, e, m or s
  int dataBits = 8;
  int stopBits = 1;
};
LineFormat ParseFormatText(std::string_view formatText);

// A line's settings as the system reports them.
struct LineSettings {
  uint32_t baud = 0;        // output rate; 0 when the rate bits name no rate we know
  bool customRate = false;  // the rate is given as a number (BOTHER), not a B constant
  LineFormat format;
  bool raw = false;          // no echo, canonical input, signals, translation or output processing
  bool flowControl = false;  // RTS/CTS or XON/XOFF in use
  bool receiverOn = false;   // CREAD and CLOCAL: receive, ignore modem control lines
  uint8_t minChars = 0;      // VMIN
  uint8_t timeTenths = 0;    // VTIME
};

// One open serial device (or pseudo-terminal). The only place that speaks termios (Linux) or
// the Win32 communications calls (Windows); the two live in serial_line_posix.cpp and
// serial_line_win32.cpp.
//
// Read and Write never block past their bounds, so one thread may read while another writes.
// Open and Close belong to the owner and must not run while another thread is inside Read,
// Write or WaitReadable.
//
// A lost port (USB adapter unplugged, pseudo-terminal's other side closed) reads exactly like a
// quiet line through Read's result; Lost() tells them apart.
class SerialLine {
 public:
  SerialLine();
  ~SerialLine();
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  // Opens `path` ("/dev/ttyUSB0"; a bare name such as "ttyUSB0" is looked up in /dev) for
  // reading and writing, non-blocking, exclusively (TIOCEXCL and an advisory flock), in raw
  // mode with `baud` and `format`. Closes first when open. False
  // when the device cannot be opened; Error() then says why. A device that refuses a
  // setting keeps its own and the open still succeeds.
  bool Open(std::string_view path, uint32_t baud, LineFormat format);
  // Discards pending input and output, releases the device. Harmless when closed.
  void Close();
  bool IsOpen() const { return handle_ != -1; }

  // Copies what has arrived, at most `maximum` bytes, without waiting. -1 for a bad argument,
  // 0 when nothing is there, the port is closed or lost, or the read failed; else the count.
  int32_t Read(uint8_t* buffer, int32_t maximum);
  // Writes `length` bytes, giving up after `timeoutMs` ms; returns the count written (0 on a
  // closed or lost port), -1 for a bad argument.
  int32_t Write(const uint8_t* data, int32_t length, uint32_t timeoutMs);
  // Waits up to `timeoutMs` ms for input: 1 when bytes are waiting, 0 on time-out, -1 when the
  // port is closed or lost (a lost port returns at once, so callers must not loop on it).
  int WaitReadable(int timeoutMs);

  // The quiet time that ends a block. Windows' reads end there by themselves (the interval
  // time-out); on Linux the caller's own clock finds it.
  void SetQuietGap(uint32_t ms);
  // True when everything read so far ended at a quiet gap the line itself saw (Windows: the
  // last read was ended by its interval time-out and has been handed out); never on Linux.
  bool GapSeen() const;

  // True once the device has hung up or failed (poll POLLHUP/POLLERR, EIO, end of file).
  bool Lost() const { return lost_.load(std::memory_order_relaxed); }
  // Why the last Open failed; None after a successful one.
  PortError Error() const { return error_; }
  // The system's error code of the last failed Open (errno or GetLastError; 0 when none).
  int ErrorNumber() const { return errorNumber_; }
  // The device's current settings as the kernel reports them; false when closed.
  bool ReadSettings(LineSettings& settings) const;
  const std::string& Path() const { return path_; }
  // For callers that wait on several descriptors (Linux); -1 when closed.
  int Fd() const { return static_cast<int>(handle_); }

  // Windows: the receive and transmit threads' overlapped transfers.
  struct Overlapped;

 private:
  void Fail(PortError error, int errorNumber);
  void MarkLost() { lost_.store(true, std::memory_order_relaxed); }

  intptr_t handle_ = -1;  // a descriptor, or a HANDLE (never INVALID_HANDLE_VALUE when open)
  std::unique_ptr<Overlapped> overlapped_;
  std::string path_;
  std::atomic<bool> lost_{false};
  PortError error_ = PortError::None;
  int errorNumber_ = 0;
};

}  // namespace qv31
