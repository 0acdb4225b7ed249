#include "transport/comm_state.h"

#include <gtest/gtest.h>

#include <tuple>

#include "text/choice_texts.h"

namespace qv31 {
namespace {

// What Open writes into the DCB, for every baud and format of the lists (a pseudo-terminal under
// Wine keeps 8N1 and reads 14400 back as 38400, so only this shows a mistake). Reference values
// from <winbase.h>: NOPARITY 0, ODDPARITY 1, EVENPARITY 2, MARKPARITY 3, SPACEPARITY 4,
// ONESTOPBIT 0, TWOSTOPBITS 2, DTR_CONTROL_ENABLE and RTS_CONTROL_ENABLE 1.
TEST(CommState, EveryBaudAndFormatOfTheLists) {
  CommState cooked;  // whatever another program left behind: flow control, 7E2, checks on
  cooked.baudRate = 300;
  cooked.byteSize = 7;
  cooked.parityCheck = cooked.outxCtsFlow = cooked.outxDsrFlow = cooked.dsrSensitivity = true;
  cooked.outX = cooked.inX = cooked.nullStrip = cooked.abortOnError = true;
  cooked.dtrControl = cooked.rtsControl = 2;
  const std::tuple<uint8_t, uint8_t> formats[] = {{0, 0}, {1, 0}, {2, 0}, {0, 2}, {1, 2}, {2, 2}};
  static_assert(std::size(formats) == FORMAT_TEXTS.size());
  for (const std::string_view baudText : BAUD_TEXTS) {
    for (size_t f = 0; f < FORMAT_TEXTS.size(); ++f) {
      SCOPED_TRACE(std::string(baudText) + " " + std::string(FORMAT_TEXTS[f]));
      const uint32_t baud = static_cast<uint32_t>(std::stoul(std::string(baudText)));
      const CommState s = ComposeCommState(cooked, baud, ParseFormatText(FORMAT_TEXTS[f]));
      CommState expected;  // binary, no flow control, no checks, DTR and RTS on
      expected.baudRate = baud;
      expected.byteSize = 8;
      std::tie(expected.parity, expected.stopBits) = formats[f];
      EXPECT_EQ(s, expected);
      const LineSettings d = DescribeCommState(s);
      EXPECT_TRUE(d.baud == baud && d.raw && !d.flowControl);
    }
  }
}

TEST(CommState, OddFormatsAndAZeroRate) {
  CommState current;
  current.baudRate = 4800;
  current.byteSize = 7;
  // {format text, baud, expected rate, size, parity, stop bits}
  const std::tuple<const char*, uint32_t, uint32_t, uint8_t, uint8_t, uint8_t> cases[] = {
      {"M,8,1", 9600, 9600, 8, 3, 0},
      {"s,7,2", 9600, 9600, 7, 4, 2},
      {"q,9,1", 9600, 9600, 7, 0, 0},  // unknown parity: none; size kept
      {"e,8", 0, 4800, 8, 2, 2},       // rate 0 keeps the rate; no stop digit: two
  };
  for (const auto& [format, baud, rate, size, parity, stop] : cases) {
    SCOPED_TRACE(format);
    const CommState s = ComposeCommState(current, baud, ParseFormatText(format));
    EXPECT_EQ(std::tie(s.baudRate, s.byteSize, s.parity, s.stopBits),
              std::tie(rate, size, parity, stop));
  }
}

TEST(CommState, Win32ErrorsAsReasons) {
  // <winerror.h> codes as CreateFileW on \\.\COMn gives them.
  const std::tuple<uint32_t, PortError, bool> cases[] = {
      {2, PortError::Missing, false},    // no such port
      {3, PortError::Missing, false},    //
      {123, PortError::Missing, false},  // a name that is no path
      {1167, PortError::Missing, true},  // the adapter is gone
      {5, PortError::Busy, true},        // held by another program (or pulled while open)
      {32, PortError::Busy, false},      //
      {1314, PortError::PermissionDenied, false},
      {87, PortError::NotSerial, false},  //
      {31, PortError::Other, true},       // ERROR_GEN_FAILURE: a USB adapter pulled mid-transfer
      {22, PortError::Other, true},       //
      {995, PortError::Other, false},     // our own cancel is not a lost port
      {0, PortError::Other, false},
  };
  for (const auto& [code, reason, lost] : cases) {
    EXPECT_EQ(PortErrorForWin32(code), reason) << code;
    EXPECT_EQ(IsLostWin32Error(code), lost) << code;
  }
}

TEST(CommState, RegistryPortsInNumberOrder) {
  using Names = std::vector<std::string>;
  const std::tuple<Names, Names> cases[] = {
      {{"COM3", "COM1", "COM10"}, {"COM1", "COM3", "COM10"}},
      {{"COM2", "COM2", "COM0", "COMx", "COM256", "CO"}, {"COM2", "COM2"}},
      {{}, {}},
  };
  for (const auto& [data, names] : cases) EXPECT_EQ(ComPortNames(data), names);
  Names many;
  for (int i = 30; i > 0; --i) many.push_back("COM" + std::to_string(i));
  const Names listed = ComPortNames(many);
  ASSERT_EQ(listed.size(), 19u);  // the list holds at most 19
  EXPECT_EQ(listed.front(), "COM1");
  EXPECT_EQ(listed.back(), "COM19");
}

}  // namespace
}  // namespace qv31
