#include "transport/serial_scan.h"

#include <algorithm>
#include <array>

#include "text/choice_texts.h"
#include "transport/gateway_search.h"
#include "transport/identity_probe.h"
#include "transport/port_discovery.h"

namespace qv31 {
namespace {

constexpr std::array<uint32_t, 9> BAUD_ORDER = {9600, 115200, 19200, 38400, 57600,
                                                4800, 2400,   1200,  14400};
constexpr int32_t POLL_SLICE_MS = 50;
constexpr uint32_t WRITE_TIMEOUT_MS = 100;

constexpr std::array<LineTry, BAUD_ORDER.size() * FORMAT_TEXTS.size()> MakeOrder() {
  std::array<LineTry, BAUD_ORDER.size() * FORMAT_TEXTS.size()> order{};
  size_t at = 0;
  for (const std::string_view format : FORMAT_TEXTS) {
    for (const uint32_t baud : BAUD_ORDER) order[at++] = LineTry{baud, format};
  }
  return order;
}

constexpr auto SCAN_ORDER = MakeOrder();

}  // namespace

std::span<const LineTry> SerialScanOrder() { return SCAN_ORDER; }

int32_t ProbeTimeoutMs(const LineTry& settings, int32_t marginMs) {
  const LineFormat f = ParseFormatText(settings.format);
  const int64_t bitsPerByte = 1 + f.dataBits + (f.parity == 'n' ? 0 : 1) + f.stopBits;
  const int64_t bits = int64_t{16 + IDENTITY_REPLY_SIZE} * bitsPerByte;
  const int64_t baud = std::max<int64_t>(settings.baud, 1);
  return static_cast<int32_t>((bits * 1000 + baud - 1) / baud) + marginMs;
}

bool SerialScan::Start(std::string_view path, uint32_t nowMs, int32_t marginMs) {
  path_ = path;
  marginMs_ = marginMs;
  tryIndex_ = 0;
  identity_.clear();
  error_ = PortError::None;
  errorNumber_ = 0;
  state_ = ScanState::Running;
  return BeginTry(nowMs);
}

bool SerialScan::BeginTry(uint32_t nowMs) {
  const LineTry settings = Current();
  received_.clear();
  if (!line_.Open(path_, settings.baud, ParseFormatText(settings.format))) {
    error_ = line_.Error();
    errorNumber_ = line_.ErrorNumber();
    Finish(ScanState::OpenFailed);
    return false;
  }
  const std::vector<uint8_t> request = IdentityRequest();
  line_.Write(request.data(), static_cast<int32_t>(request.size()), WRITE_TIMEOUT_MS);
  deadlineMs_ = nowMs + static_cast<uint32_t>(ProbeTimeoutMs(settings, marginMs_));
  return true;
}

void SerialScan::Finish(ScanState state) {
  state_ = state;
  line_.Close();
}

bool SerialScan::Step(uint32_t nowMs) {
  if (state_ != ScanState::Running) return false;
  std::array<uint8_t, 1024> chunk{};
  for (int32_t n; (n = line_.Read(chunk.data(), static_cast<int32_t>(chunk.size()))) > 0;) {
    received_.insert(received_.end(), chunk.begin(), chunk.begin() + n);
  }
  if (auto identity = FindIdentityReply(received_)) {
    identity_ = std::move(*identity);
    Finish(ScanState::Found);
  } else if (line_.Lost()) {
    error_ = PortError::Lost;
    Finish(ScanState::Lost);
  } else if (static_cast<int32_t>(nowMs - deadlineMs_) >= 0) {
    if (tryIndex_ + 1 >= SerialScanOrder().size()) {
      Finish(ScanState::NotFound);
    } else {
      ++tryIndex_;
      BeginTry(nowMs);
    }
  }
  return Running();
}

LinkOpenError SerialScan::OpenError() const {
  LinkOpenError e;
  if (error_ == PortError::None) return e;
  e.link = LinkOpenError::Link::Serial;
  e.port = error_;
  e.systemCode = errorNumber_;
  e.target = path_;
  if (error_ == PortError::Busy) e.holders = PortHolders(path_);
  return e;
}

void SerialScan::Cancel() {
  if (state_ == ScanState::Running) Finish(ScanState::Cancelled);
}

int32_t SerialScan::WaitMs(uint32_t nowMs) const {
  if (state_ != ScanState::Running) return 0;
  return std::max(static_cast<int32_t>(deadlineMs_ - nowMs), 0);
}

ScanState RunSerialScan(SerialScan& scan, std::string_view path,
                        const std::function<bool(const SerialScan&)>& onTry, int32_t marginMs) {
  scan.Start(path, SteadyMs32(), marginMs);
  while (scan.Running()) {
    if (onTry && !onTry(scan)) {
      scan.Cancel();
      break;
    }
    scan.Wait(std::min(scan.WaitMs(SteadyMs32()), POLL_SLICE_MS));
    scan.Step(SteadyMs32());
  }
  return scan.State();
}

}  // namespace qv31
