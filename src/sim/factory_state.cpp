#include "sim/factory_state.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qv31 {
namespace {

struct FactoryPort {
  uint8_t baudCode;
  uint8_t formatCode;
};
// 9600 "n,8,1" twice, 19200 "e,8,1", 115200 "n,8,2": different per port so that a mix-up
// between ports shows.
constexpr std::array<FactoryPort, GATEWAY_PORT_COUNT> kPorts = {{{6, 0}, {6, 0}, {8, 2}, {11, 5}}};

// A locally administered unicast address (02 in the first byte), then "QV31" and 1.
constexpr std::array<uint8_t, 6> kMac = {0x02, 0x51, 0x56, 0x33, 0x31, 0x01};
constexpr std::string_view kCh1Domain = "data.example.com";
constexpr uint16_t kCh1Port = 9000;
constexpr uint8_t kTcpServer = 0;
constexpr uint8_t kTcpClient = 1;

struct FactoryRow {
  int row;
  AcqRecord record;  // channel, type, slave, start, count, buffer
};
constexpr std::array<FactoryRow, 6> kRows = {{
    {0, {0, 0x03, 1, 0, 10, 0}},       // COM1 "03-R" holding registers 0..9
    {1, {0, 0x01, 1, 100, 16, 20}},    // COM1 "01-R" coils 100..115
    {2, {1, 0x04, 2, 0, 4, 22}},       // COM2 "04-R" input registers
    {3, {2, 0x86, 5, 10000, 2, 30}},   // COM3 "06-W"
    {4, {3, 0x10, 7, 200, 8, 40}},     // COM4 "03/10-RW"
    {200, {1, 0x02, 3, 5, 3, 10000}},  // COM2 "02-R", in the last block
}};

void FillParams(ParamBlock& p) {
  for (int port = 1; port <= GATEWAY_PORT_COUNT; ++port) {
    p.SetBaudCode(port, kPorts[port - 1].baudCode);
    p.SetFormatCode(port, kPorts[port - 1].formatCode);
  }
  p.SetStationNo(1);
  p.SetGroupNo(0);
  p.SetGroupFlag(0);
  p.SetLogOutput(LOG_OFF);
  p.SetFixed4G();
  p.Store(OFFSET_MAC, kMac.data(), static_cast<int32_t>(kMac.size()));
  p.SetNetFlags(NET_CH1_ENABLE);
  p.PutIpv4(OFFSET_LOCAL_IP, {192, 168, 1, 100});
  p.PutIpv4(OFFSET_SUBNET_MASK, {255, 255, 255, 0});
  p.PutIpv4(OFFSET_GATEWAY, {192, 168, 1, 1});
  p.PutIpv4(OFFSET_DNS_SERVER, {192, 168, 1, 1});
  p.Put8(OFFSET_CH1_PROTOCOL, kTcpClient);
  p.Put8(OFFSET_CH2_PROTOCOL, kTcpServer);
  // Channel 1 names its target by host name: address 0.0.0.0, then the domain field.
  p.PutIpv4(OFFSET_CH1_TARGET_IP, {0, 0, 0, 0});
  p.PutU16LE(OFFSET_CH1_TARGET_PORT, kCh1Port);
  p.Put8(OFFSET_CH1_DOMAIN_LEN, static_cast<uint8_t>(kCh1Domain.size()));
  p.Store(OFFSET_CH1_DOMAIN, reinterpret_cast<const uint8_t*>(kCh1Domain.data()),
          static_cast<int32_t>(kCh1Domain.size()));
  p.PutIpv4(OFFSET_CH2_TARGET_IP, {0, 0, 0, 0});
  p.PutU16LE(OFFSET_CH2_TARGET_PORT, 0);
}

void FillTable(AcqTable& t) {
  AcqHeader header;
  header.enable = 1;
  header.timeout10ms = 100;  // 1000 ms
  header.timeoutCount = 3;
  header.intervalMs = 100;
  t.SetHeader(header);
  for (int row = 0; row < ACQ_ROW_COUNT; ++row) t.SetRecord(row, AcqRecord{});
  for (const FactoryRow& r : kRows) t.SetRecord(r.row, r.record);
}

}  // namespace

GatewayMemory FactoryMemory() {
  ParamBlock params;
  FillParams(params);
  AcqTable table;
  FillTable(table);

  GatewayMemory memory;
  std::ranges::copy(params.Bytes(), memory.AreaBytes(AREA_PARAMS).begin());
  std::ranges::copy(table.Bytes(), memory.AreaBytes(AREA_TABLE).begin());
  memory.SetIdentityText(FACTORY_IDENTITY);
  return memory;
}

}  // namespace qv31
