#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/serial_line.h"

namespace qv31 {

// The fields of a Win32 DCB that a serial link sets, as plain values with the numbering of
// <winbase.h> (parity NOPARITY 0, ODDPARITY 1, EVENPARITY 2, MARKPARITY 3, SPACEPARITY 4; stop
// bits ONESTOPBIT 0, TWOSTOPBITS 2; DTR and RTS control ENABLE 1, HANDSHAKE 2), so that what
// Open writes is checked on any system. A pseudo-terminal under Wine keeps 8N1 and reads 14400
// back as 38400, so the device could not show a mistake here.
struct CommState {
  uint32_t baudRate = 0;
  uint8_t byteSize = 8;
  uint8_t parity = 0;
  uint8_t stopBits = 0;
  bool binary = true;
  bool parityCheck = false;  // fParity: report parity errors (the frame CRC judges instead)
  bool outxCtsFlow = false;
  bool outxDsrFlow = false;
  uint8_t dtrControl = 1;
  bool dsrSensitivity = false;
  bool outX = false;
  bool inX = false;
  bool nullStrip = false;
  uint8_t rtsControl = 1;
  bool abortOnError = false;  // would stop every transfer after a line error until cleared
  bool operator==(const CommState&) const = default;
};

// The settings Open writes, as on Linux: `current` with the rate and frame format applied, in
// binary mode without flow control or parity checking, DTR and RTS on. A baud of 0 keeps the
// current rate; data bits outside 5..8 keep the current size.
CommState ComposeCommState(const CommState& current, uint32_t baud, LineFormat format);
LineSettings DescribeCommState(const CommState& state);

// Why a Win32 error code (GetLastError after CreateFileW on \\.\COMn) kept a port from opening.
// A port another program holds fails with ERROR_ACCESS_DENIED: COM ports are opened without
// sharing, and ordinary users may open every one, so that code means busy.
PortError PortErrorForWin32(uint32_t errorCode);
// True when a transfer's error code means the device is gone (an unplugged USB adapter).
bool IsLostWin32Error(uint32_t errorCode);

// The port names listed under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, from the values' data
// ("COM7", "\Device\Serial0" is skipped): the number after the first three characters, kept
// when it is 1..255, at most 19, in ascending order of number, duplicates kept, as "COM%d".
std::vector<std::string> ComPortNames(const std::vector<std::string>& registryData);

}  // namespace qv31
