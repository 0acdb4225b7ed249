// qv31ctl end to end, the table commands: export, import and check against the simulator.
#include "cli/ctl_test_support.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

TEST_F(CtlTest, TableExportEqualsTheGoldenFile) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const std::string out = Path("table.csv");
  std::ofstream(out) << "old content that is replaced\n";
  ASSERT_EQ(Ctl({"--udp", udp, "table", "export", out}).status, 0);
  EXPECT_EQ(ReadBytes(out), ReadBytes(std::string(QV31_TEST_DATA) + "/factory_table.csv"));
}

TEST_F(CtlTest, TableImportOfShuffledRepeatedAndShortLines) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const std::string gbkHeader =
      "\xB1\xE0\xBA\xC5,\xCD\xA8\xB5\xC0\xBA\xC5,\xB4\xD3\xD5\xBE\xB5\xD8\xD6\xB7,"
      "\xB1\xE4\xC1\xBF\xC0\xE0\xD0\xCD,\xC6\xF0\xCA\xBC\xB1\xE4\xC1\xBF,"
      "\xB1\xE4\xC1\xBF\xB8\xF6\xCA\xFD,\xBB\xBA\xB4\xE6";
  std::ofstream(Path("in.csv"), std::ios::binary)
      << gbkHeader << "\r\n7,COM4,1,06-W,1,1,2\r\n3,COM2,9,03-R,100,5,64\r\n12,COM1\n"
      << "3,COM3,9,03-R,100,5,64\r\n";
  const CtlRun run = Ctl({"--udp", udp, "table", "import", Path("in.csv")});
  ASSERT_EQ(run.status, 0) << run.err;
  const GatewayMemory memory = Memory("s.json");
  const auto table = memory.AreaBytes(AREA_TABLE);
  auto record = [&](int row) {
    return std::vector<uint8_t>(table.begin() + 8 * row, table.begin() + 8 * row + 8);
  };
  const GatewayMemory factoryMemory = FactoryMemory();
  const auto factory = factoryMemory.AreaBytes(AREA_TABLE);
  EXPECT_EQ(record(3), (std::vector<uint8_t>{2, 0x03, 9, 0, 100, 5, 0, 64}));  // later line wins
  EXPECT_EQ(record(7), (std::vector<uint8_t>{3, 0x86, 1, 0, 1, 1, 0, 2}));
  EXPECT_EQ(record(12), (std::vector<uint8_t>{0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));  // short line
  EXPECT_TRUE(std::equal(table.begin(), table.begin() + 8 * 3, factory.begin()))
      << "header and rows without a line keep their values";
  EXPECT_TRUE(std::equal(table.begin() + 8 * 13, table.end(), factory.begin() + 8 * 13));

  std::ofstream(Path("bad.csv"), std::ios::binary)
      << "\xEF\xBB\xBF" << gbkHeader << "\r\n1,COM1\r\n";
  const CtlRun refused = Ctl({"--udp", udp, "--trace", "table", "import", Path("bad.csv")});
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(refused.err.find("数据内容不符合"), std::string::npos);
  EXPECT_TRUE(SentHeaders(refused.err).empty());
}

// A spreadsheet's UTF-8 file, with and without a byte-order mark, reads as the tool's own GBK
// file: check finds nothing, --strict takes it, and the same table writes leave.
TEST_F(CtlTest, AUtf8TableFileIsCheckedAndImportedAsItsGbkTwin) {
  const std::string rows =
      "编号,通道号,从站地址,变量类型,起始变量,变量个数,缓存\r\n"
      "1,COM1,1,03-R,0,10,0\r\n2,无效,0,无效,0,0,0\r\n5,COM4,247,06-W,65535,1,200\r\n";
  const std::pair<const char*, std::string> files[] = {
      {"gbk.csv", Utf8ToGbk(rows)}, {"utf8.csv", rows}, {"bom.csv", "\xEF\xBB\xBF" + rows}};
  std::vector<Bytes> gbkWrites;
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    std::ofstream(Path(name), std::ios::binary) << bytes;
    const CtlRun check = Ctl({"table", "check", Path(name)});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_EQ(check.out, "");
    SimProcess sim;
    const std::string udp = StartSim(sim, std::string(name) + ".json");
    const CtlRun run = Ctl({"--udp", udp, "--trace", "table", "import", "--strict", Path(name)});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Bytes> writes;
    for (const TraceRecord& r : TraceRecords(run.err)) {
      if (r.sent && r.bytes.size() > 14 && r.bytes[8] == AREA_TABLE && r.bytes[9] == OP_WRITE) {
        writes.push_back(r.bytes);
      }
    }
    EXPECT_EQ(writes.size(), 4u);
    if (gbkWrites.empty()) gbkWrites = writes;
    EXPECT_EQ(writes, gbkWrites);
  }
}

// A file with one overlap and one slave outside 1 to 247 is checked alone (no gateway), then
// written to the simulator and checked there; a clean file and the factory table find nothing.
TEST_F(CtlTest, TableCheckNamesTheRowsOfAFileAndOfTheGateway) {
  const std::string factory = ReadBytes(std::string(QV31_TEST_DATA) + "/factory_table.csv");
  const std::string header = factory.substr(0, factory.find("\r\n") + 2);
  std::ofstream(Path("bad.csv"), std::ios::binary)
      << header << "1,COM1,1,03-R,0,10,0\r\n4,COM2,2,04-R,0,2,16\r\n9,COM1,248,03-R,0,1,100\r\n";
  std::ofstream(Path("clean.csv"), std::ios::binary) << header << "1,COM1,1,03-R,0,10,0\r\n";
  std::ofstream(Path("bom.csv"), std::ios::binary) << "\xEF\xBB\xBF" << header;
  const std::string lines =
      "第 1 行 缓存计算：缓存与第 4 行重叠：两行写入同一缓存\n"
      "第 4 行 缓存计算：缓存与第 1 行重叠：两行写入同一缓存\n"
      "第 9 行 从站地址：从站地址应在 1~247 之间\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const Case files[] = {
      {{"table", "check", Path("bad.csv")}, 1, lines},
      {{"table", "check", Path("clean.csv")}, 0, ""},
      {{"table", "check", Path("factory.csv")}, 4, ""},  // missing
      {{"table", "check", Path("bom.csv")}, 4, ""},
      {{"table", "check", temp_.Dir().string()}, 4, ""},
  };
  for (const Case& c : files) {
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back() << ": " << run.err;
    EXPECT_EQ(run.out, c.out) << c.args.back();
  }
  const CtlRun json = Ctl({"--json", "table", "check", Path("bad.csv")});
  EXPECT_EQ(json.status, 1);
  const auto doc = nlohmann::json::parse(json.out);
  ASSERT_EQ(doc["findings"].size(), 3u) << json.out;
  EXPECT_EQ(doc["findings"][2],
            (nlohmann::json{{"row", 9}, {"column", "slave"}, {"text", "从站地址应在 1~247 之间"}}));
  EXPECT_EQ(doc["findings"][0]["column"], "buffer_refs");

  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const CtlRun factoryCheck = Ctl({"--udp", udp, "table", "check"});
  EXPECT_EQ(factoryCheck.status, 0) << factoryCheck.err;
  EXPECT_EQ(factoryCheck.out, "");
  ASSERT_EQ(Ctl({"--udp", udp, "table", "import", Path("bad.csv")}).status, 0);
  const CtlRun gateway = Ctl({"--udp", udp, "table", "check"});
  EXPECT_EQ(gateway.status, 1) << gateway.err;
  EXPECT_EQ(gateway.out, lines);
}

}  // namespace
}  // namespace qv31
