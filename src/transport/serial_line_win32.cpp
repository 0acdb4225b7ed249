#include <windows.h>

#include <algorithm>
#include <vector>

#include "text/wide_text.h"
#include "transport/comm_state.h"
#include "transport/serial_line.h"

namespace qv31 {

// The port is opened for overlapped I/O so that the receive thread may wait for bytes while the
// transmit thread writes: synchronous transfers on one handle would wait for each other.
struct SerialLine::Overlapped {
  OVERLAPPED read{};
  bool readPending = false;
  std::vector<uint8_t> received = std::vector<uint8_t>(4096);
  size_t have = 0;          // bytes in `received` from the last completed read
  size_t taken = 0;         // of which already handed out
  bool endedAtGap = false;  // the last read was ended by the interval time-out
  OVERLAPPED write{};
};

namespace {

constexpr DWORD PURGE_ALL = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

HANDLE Handle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }  // NOLINT

CommState FromDcb(const DCB& d) {
  CommState s;
  s.baudRate = d.BaudRate;
  s.byteSize = d.ByteSize;
  s.parity = d.Parity;
  s.stopBits = d.StopBits;
  s.binary = d.fBinary != 0;
  s.parityCheck = d.fParity != 0;
  s.outxCtsFlow = d.fOutxCtsFlow != 0;
  s.outxDsrFlow = d.fOutxDsrFlow != 0;
  s.dtrControl = static_cast<uint8_t>(d.fDtrControl);
  s.dsrSensitivity = d.fDsrSensitivity != 0;
  s.outX = d.fOutX != 0;
  s.inX = d.fInX != 0;
  s.nullStrip = d.fNull != 0;
  s.rtsControl = static_cast<uint8_t>(d.fRtsControl);
  s.abortOnError = d.fAbortOnError != 0;
  return s;
}

void ToDcb(const CommState& s, DCB& d) {
  d.BaudRate = s.baudRate;
  d.ByteSize = s.byteSize;
  d.Parity = s.parity;
  d.StopBits = s.stopBits;
  d.fBinary = s.binary;
  d.fParity = s.parityCheck;
  d.fOutxCtsFlow = s.outxCtsFlow;
  d.fOutxDsrFlow = s.outxDsrFlow;
  d.fDtrControl = s.dtrControl;
  d.fDsrSensitivity = s.dsrSensitivity;
  d.fOutX = s.outX;
  d.fInX = s.inX;
  d.fNull = s.nullStrip;
  d.fRtsControl = s.rtsControl;
  d.fAbortOnError = s.abortOnError;
}

// "COM12" opens as \\.\COM12 (the plain name reaches only COM1 to COM9); a full device path
// is kept.
std::wstring DevicePath(std::string_view name) {
  if (name.rfind("\\\\.\\", 0) == 0) return Utf8ToWide(name);
  return L"\\\\.\\" + Utf8ToWide(name);
}

}  // namespace

SerialLine::SerialLine() = default;
SerialLine::~SerialLine() { Close(); }

void SerialLine::SetQuietGap(uint32_t ms) {
  if (!IsOpen()) return;
  // A read waits for its first byte as long as it takes (the receive thread waits on it in
  // slices) and ends once the line has been quiet for the gap: one read, one block, timed by
  // the driver rather than by when the thread happens to look. Writes are bounded by the
  // writer's own wait.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = std::max<DWORD>(ms, 1);
  SetCommTimeouts(Handle(handle_), &timeouts);
}

bool SerialLine::GapSeen() const {
  return overlapped_ && overlapped_->endedAtGap && overlapped_->taken == overlapped_->have;
}

void SerialLine::Fail(PortError error, int errorNumber) {
  error_ = error;
  errorNumber_ = errorNumber;
  if (IsOpen()) CloseHandle(Handle(handle_));
  handle_ = -1;
  overlapped_.reset();
}

bool SerialLine::Open(std::string_view path, uint32_t baud, LineFormat format) {
  Close();
  lost_.store(false, std::memory_order_relaxed);
  error_ = PortError::None;
  errorNumber_ = 0;
  path_ = path;
  if (path.empty()) {
    Fail(PortError::Missing, ERROR_FILE_NOT_FOUND);
    return false;
  }
  const HANDLE h = CreateFileW(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    Fail(PortErrorForWin32(e), static_cast<int>(e));
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) {
    const DWORD e = GetLastError();
    Fail(PortError::NotSerial, static_cast<int>(e));
    return false;
  }
  ToDcb(ComposeCommState(FromDcb(dcb), baud, format), dcb);
  // A device that refuses a setting keeps its own; the link then simply gets no answers.
  SetCommState(h, &dcb);
  SetupComm(h, 4096, 4096);
  PurgeComm(h, PURGE_ALL);
  overlapped_ = std::make_unique<Overlapped>();
  SetQuietGap(1);
  overlapped_->read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  overlapped_->write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return true;
}

void SerialLine::Close() {
  if (!IsOpen()) return;
  const HANDLE h = Handle(handle_);
  // Abort and wait for a read still pending: its buffer is freed below.
  CancelIoEx(h, nullptr);
  if (overlapped_ && overlapped_->readPending) {
    DWORD n = 0;
    GetOverlappedResult(h, &overlapped_->read, &n, TRUE);
  }
  PurgeComm(h, PURGE_ALL);
  CloseHandle(h);
  handle_ = -1;
  if (overlapped_) {
    CloseHandle(overlapped_->read.hEvent);
    CloseHandle(overlapped_->write.hEvent);
  }
  overlapped_.reset();
}

namespace {

enum class ReadState { Waiting, Done, Lost };

void Received(SerialLine::Overlapped& o, DWORD n) {
  o.have = n;
  o.taken = 0;
  // Fewer bytes than asked for: the interval time-out ended the read, so the line is quiet.
  o.endedAtGap = n > 0 && n < o.received.size();
}

// Completes the pending read within `waitMs`, or starts one and waits as long.
ReadState CollectRead(HANDLE h, SerialLine::Overlapped& o, DWORD waitMs) {
  DWORD n = 0;
  if (!o.readPending) {
    ResetEvent(o.read.hEvent);
    if (ReadFile(h, o.received.data(), static_cast<DWORD>(o.received.size()), nullptr, &o.read)) {
      GetOverlappedResult(h, &o.read, &n, FALSE);
      Received(o, n);
      return ReadState::Done;
    }
    const DWORD e = GetLastError();
    if (e != ERROR_IO_PENDING) return IsLostWin32Error(e) ? ReadState::Lost : ReadState::Waiting;
    o.readPending = true;
  }
  if (WaitForSingleObject(o.read.hEvent, waitMs) != WAIT_OBJECT_0) return ReadState::Waiting;
  o.readPending = false;
  if (!GetOverlappedResult(h, &o.read, &n, FALSE)) {
    const DWORD e = GetLastError();
    return IsLostWin32Error(e) ? ReadState::Lost : ReadState::Waiting;
  }
  Received(o, n);
  return ReadState::Done;
}

}  // namespace

int32_t SerialLine::Read(uint8_t* buffer, int32_t maximum) {
  if (buffer == nullptr || maximum < 1) return -1;
  if (!IsOpen() || Lost()) return 0;
  Overlapped& o = *overlapped_;
  if (o.taken == o.have && CollectRead(Handle(handle_), o, 0) == ReadState::Lost) {
    MarkLost();
    return 0;
  }
  const size_t n = std::min(o.have - o.taken, static_cast<size_t>(maximum));
  std::copy_n(o.received.begin() + static_cast<std::ptrdiff_t>(o.taken), n, buffer);
  o.taken += n;
  return static_cast<int32_t>(n);
}

int SerialLine::WaitReadable(int timeoutMs) {
  if (!IsOpen() || Lost()) return -1;
  Overlapped& o = *overlapped_;
  if (o.taken < o.have) return 1;
  const ReadState state =
      CollectRead(Handle(handle_), o, static_cast<DWORD>(std::max(timeoutMs, 0)));
  if (state == ReadState::Lost) {
    MarkLost();
    return -1;
  }
  return o.taken < o.have ? 1 : 0;
}

int32_t SerialLine::Write(const uint8_t* data, int32_t length, uint32_t timeoutMs) {
  if (data == nullptr || length < 0) return -1;
  if (!IsOpen() || Lost() || length == 0) return 0;
  const HANDLE h = Handle(handle_);
  OVERLAPPED& w = overlapped_->write;
  ResetEvent(w.hEvent);
  DWORD n = 0;
  if (!WriteFile(h, data, static_cast<DWORD>(length), nullptr, &w)) {
    const DWORD e = GetLastError();
    if (e != ERROR_IO_PENDING) {
      if (IsLostWin32Error(e)) MarkLost();
      return 0;
    }
    if (WaitForSingleObject(w.hEvent, timeoutMs) != WAIT_OBJECT_0) CancelIoEx(h, &w);
  }
  if (!GetOverlappedResult(h, &w, &n, TRUE)) {
    const DWORD e = GetLastError();
    if (IsLostWin32Error(e)) MarkLost();
  }
  return static_cast<int32_t>(n);
}

bool SerialLine::ReadSettings(LineSettings& settings) const {
  if (!IsOpen()) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(Handle(handle_), &dcb)) return false;
  settings = DescribeCommState(FromDcb(dcb));
  return true;
}

}  // namespace qv31
