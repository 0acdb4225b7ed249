// qv31ctl end to end under bad input and interruptions: files that are no files, too large
// or junk, table files that --strict and table check judge alike, and signals.
#include <sys/stat.h>

#include "cli/ctl_test_support.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

// One of the programs' readers: the command that reads FILE, and what it says of a refusal.
struct Reader {
  const char* what;
  std::vector<std::string> args;  // FILE is appended, except for the settings file
  int status;
  const char* bound;  // the size bound as the message names it
};

std::string Header() {
  const std::string factory = ReadBytes(std::string(QV31_TEST_DATA) + "/factory_table.csv");
  return factory.substr(0, factory.find("\r\n") + 2);
}

// Bytes no exported file holds, with lines that start with row numbers.
std::string Junk() {
  std::string junk;
  uint32_t x = 12345;
  for (int i = 0; i < 4000; ++i) {
    if (i % 40 == 0) junk += (i ? "\n" : "") + std::to_string(1 + i % 255) + ",\x01";
    x = x * 1103515245u + 12345u;
    junk += static_cast<char>(x >> 24);
  }
  return junk;
}

class CtlBadInputTest : public CtlTest {
 protected:
  // qv31ctl copied into the test's directory finds its settings file there.
  std::string OwnCtl() {
    const std::string copy = Path("qv31ctl");
    if (!fs::exists(copy)) fs::copy_file(QV31CTL_PATH, copy);
    return copy;
  }
  // A link that is never reached: every refusal here comes before it opens.
  const std::string udp_ = "127.0.0.1:9";
};

TEST_F(CtlBadInputTest, FilesThatAreNoFilesOrTooLargeAreRefusedByName) {
  const Reader readers[] = {
      {"settings", {"--trace", "info"}, 3, "64 KiB"},
      {"table check", {"table", "check"}, 4, "1 MiB"},
      {"table import", {"--udp", udp_, "--trace", "table", "import"}, 4, "1 MiB"},
      {"restore", {"--udp", udp_, "--trace", "restore"}, 4, "1 MiB"},
  };
  struct Kind {
    const char* what;
    std::function<void(const std::string&)> make;
    std::string reason;
  };
  const Kind kinds[] = {
      {"FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); },
       "is a FIFO, not a regular file"},
      {"device", [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
       "is a device, not a regular file"},
      {"endless", [](const std::string& p) { fs::create_symlink("/dev/urandom", p); },
       "is a device, not a regular file"},
      {"huge",
       [](const std::string& p) {
         WriteBytes(p, Header());
         fs::resize_file(p, 60u << 20);
       },
       "is larger than "},
  };
  const std::string program = OwnCtl();
  for (const Reader& r : readers) {
    for (const Kind& k : kinds) {
      SCOPED_TRACE(std::string(r.what) + ", " + k.what);
      const bool settings = std::string(r.what) == "settings";
      const std::string file = settings ? Path("配置.ini") : Path("in");
      k.make(file);
      std::vector<std::string> args = r.args;
      if (!settings) args.push_back(file);
      const CtlRun run = Ctl(args, program.c_str());
      fs::remove(file);
      EXPECT_EQ(run.status, r.status) << run.err;
      const std::string reason = k.reason + (k.reason.ends_with(' ') ? r.bound : "");
      const std::string said =
          settings ? "settings file " + file + ": " + reason : file + " " + reason;
      EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
      EXPECT_TRUE(SentHeaders(run.err).empty());
      EXPECT_LT(run.ms, 3000);
    }
  }
}

TEST_F(CtlBadInputTest, JunkAfterAValidStartIsRefused) {
  const std::string program = OwnCtl();
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  ASSERT_EQ(Ctl({"--udp", udp, "backup", Path("good.json")}).status, 0);
  const std::string good = ReadBytes(Path("good.json"));
  struct Case {
    const char* what;
    std::string file;
    std::string bytes;
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const Case cases[] = {
      {"settings",
       Path("配置.ini"),
       Utf8ToGbk("[系统]\r\n串口号=COM1\r\n") + Junk(),
       {"info"},
       3,
       ": is not valid GBK text; the defaults are used"},
      {"empty settings", Path("配置.ini"), "", {"info"}, 3, ": is empty; the defaults are used"},
      {"backup",
       Path("in"),
       good + Junk(),
       {"--udp", udp, "--trace", "restore"},
       4,
       "the file is not JSON"},
      {"backup with a name twice",
       Path("in"),
       "{\"format\": \"qv31-backup\", \"version\": 1, \"keys\": {\"4g.group\": 1, "
       "\"4g.group\": 2}}",
       {"--udp", udp, "--trace", "restore"},
       4,
       "the name \"4g.group\" is given twice"},
      {"table",
       Path("in"),
       Header() + Junk(),
       {"--udp", udp, "--trace", "table", "import", "--strict"},
       4,
       "line 2, column 3: byte 0x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(c.file, c.bytes);
    std::vector<std::string> args = c.args;
    if (c.file == Path("in")) args.push_back(c.file);
    const CtlRun run = Ctl(args, program.c_str());
    fs::remove(c.file);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_TRUE(SentHeaders(run.err).empty());
  }
  sim.Stop();
  EXPECT_TRUE(Changed(FactoryMemory(), Memory("s.json")).empty());
}

// The same files through import, import --strict and check: strict refuses exactly what
// check finds anything in, and import names each cell it will write as 无效 or cut.
TEST_F(CtlBadInputTest, StrictImportAndCheckJudgeEveryFileAlike) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  struct Case {
    const char* lines;
    std::vector<std::string> warnings;  // of import, on stderr
    bool findings;                      // table check finds something beyond the warnings
  };
  const Case cases[] = {
      {"1,COM1,1,03-R,0,10,0\r\n", {}, false},
      {"2,COM9,1,03-R,0,1,0\r\n",
       {"line 2 (row 2): channel \"COM9\" names none of COM1 to COM4 (written as 0x08)"},
       true},
      {"2, COM1 ,1,03-R,0,1,0\r\n", {"line 2 (row 2): channel \" COM1 \" names none"}, true},
      {"2,COM1,1,03-X,0,1,0\r\n",
       {"line 2 (row 2): type \"03-X\" is none of the twelve types"},
       true},
      {"3,COM2,999,03-R,100,5,64\r\n",
       {"line 2 (row 3): slave \"999\" does not fit its field and is written as 231"},
       true},
      {"0,COM1,1,03-R,0,1,0\r\n\r\n256,COM1\r\n-1,COM1\r\n",
       {"line 2: no row number", "line 3: no row number", "line 4: no row number",
        "line 5: no row number"},
       false},
      {"2,COM1,0,03-R,0,1,0\r\n", {}, true},  // slave 0: a finding of check only
      {"2,COM1,1,03-R,0,1,0\r\n3,COM2\x01,1,03-R,0,1,0\r\n", {"line 3, column 7: byte 0x01"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    WriteBytes(Path("t.csv"), Header() + c.lines);
    const CtlRun check = Ctl({"table", "check", Path("t.csv")});
    const CtlRun strict =
        Ctl({"--udp", udp, "--trace", "table", "import", "--strict", Path("t.csv")});
    const bool clean = c.warnings.empty() && !c.findings;
    EXPECT_EQ(check.status, clean ? 0 : 1) << check.out << check.err;
    EXPECT_EQ(strict.status, clean ? 0 : 4) << strict.err;
    EXPECT_EQ(SentHeaders(strict.err).empty(), !clean);
    for (const std::string& w : c.warnings) {
      EXPECT_NE(check.out.find(w), std::string::npos) << w << "\n" << check.out;
      EXPECT_NE(strict.err.find(w), std::string::npos) << w << "\n" << strict.err;
    }
  }
  // Without --strict the file is written as the window would, every warning said.
  WriteBytes(Path("t.csv"), Header() + "2,COM9,1,03-X,0,1,0\r\n3,COM2,999,03-R,100,5,64\r\n");
  const CtlRun run = Ctl({"--udp", udp, "table", "import", Path("t.csv")});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* w : {"channel \"COM9\"", "type \"03-X\"", "line 3 (row 3)"}) {
    EXPECT_NE(run.err.find(w), std::string::npos) << w << "\n" << run.err;
  }
  EXPECT_EQ(Memory("s.json").AreaBytes(AREA_TABLE)[8 * 3 + 2], 231) << "the window's cut";
}

// Each value a key refuses is the key table's test (tests/session); here that a refusal of any
// kind ends qv31ctl with its status before the link sends anything.
TEST_F(CtlBadInputTest, RefusedBeforeAnythingIsSent) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const std::string dir = temp_.Dir().string();
  const struct {
    std::vector<std::string> args;
    int status;
    const char* said;
  } cases[] = {
      {{"--udp", udp, "--trace", "set", "4g.station=70000"}, 2, "4g.station"},
      {{"--udp", udp, "--trace", "get", "no.such.key"}, 2, "unknown key no.such.key"},
      {{"--udp", udp, "--trace", "set", "4g.station=3", "4g.station=4"}, 2, "given twice"},
      {{"--udp", udp, "--trace", "table", "export", Path("no/such/dir.csv")}, 4, ""},
      {{"--udp", udp, "--trace", "table", "export", ""}, 4, "an empty file name"},
      {{"--udp", udp, "--trace", "backup", ""}, 4, "an empty file name"},
      {{"--udp", udp, "--trace", "backup", dir}, 4, ""},
      {{"--udp", udp, "--trace", "table", "import", dir}, 4, ""},
      {{"--udp", udp, "--trace", "restore", dir}, 4, ""},
      {{"--trace", "info"}, 2, ""},  // no connection and no settings file
      {{"--serial", "/dev/qv31-no-such-port", "--trace", "info"}, 3, ""},
      {{"--serial", "/dev/null", "--delay", "4294967296", "--trace", "info"}, 2, "4294967296"},
      {{"--serial", "/dev/null", "--delay", "99999999999999", "--trace", "info"}, 2, "0 to 60000"},
  };
  for (const auto& c : cases) {
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back() << ": " << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_FALSE(run.err.empty()) << c.args.back();
    EXPECT_TRUE(SentHeaders(run.err).empty()) << run.err;
  }
}

// Reads stopped by a signal leave no temporary file beside the output.
TEST_F(CtlBadInputTest, AnInterruptedExportOrBackupLeavesNoTemporaryFile) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json", {"--delay", "300"});
  for (const char* command : {"backup", "export"}) {
    SCOPED_TRACE(command);
    fs::create_directory(Path("dest"));
    const std::string file = Path("dest/f");
    std::vector<std::string> args = {"--udp", udp, "--trace", command, file};
    if (std::string(command) == "export") args.insert(args.begin() + 3, "table");
    const int64_t start = SteadyMs();
    const pid_t pid = Spawn(args);
    ASSERT_GT(pid, 0);
    WaitFor([&] { return SentHeaders(ReadBytes(Path("err"))).size() >= 2; }, 5000);
    kill(pid, SIGINT);
    const CtlRun run = Wait(pid, start);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_TRUE(fs::is_empty(Path("dest"))) << "a temporary file is left";
    fs::remove_all(Path("dest"));
  }
}

// A third interrupt kills a backup of several gateways at once: none of their temporary files
// is left behind.
TEST_F(CtlBadInputTest, AFleetBackupKilledByAThirdInterruptLeavesNoTemporaryFile) {
  SimProcess a, b, c;
  const std::vector<std::string> slow = {"--delay", "300"};
  const std::string hosts[] = {StartSim(a, "a.json", slow), StartSim(b, "b.json", slow),
                               StartSim(c, "c.json", slow)};
  fs::create_directory(Path("dest"));
  const int64_t start = SteadyMs();
  const pid_t pid =
      Spawn({"--udp", hosts[0], "--udp", hosts[1], "--udp", hosts[2], "backup", Path("dest")});
  ASSERT_GT(pid, 0);
  // Each gateway's temporary file is made before it is asked anything.
  const auto files = [&] {
    return std::distance(fs::directory_iterator(Path("dest")), fs::directory_iterator());
  };
  ASSERT_TRUE(WaitFor([&] { return files() == 3; }, 5000));
  for (int i = 0; i < 3; ++i) {
    kill(pid, SIGINT);
    ::usleep(1000);
  }
  const CtlRun run = Wait(pid, start);
  EXPECT_EQ(run.status, 128 + SIGINT) << run.err;
  EXPECT_EQ(files(), 0) << "a temporary file is left";
}

// At 9600 baud with a slow gateway, the second Ctrl-C comes while a write is awaited: the
// account is printed at once, the frame in flight as sent without acknowledgement.
TEST_F(CtlBadInputTest, ASecondInterruptDuringARestoreStillPrintsTheAccount) {
  {
    SimProcess udpSim;
    const std::string udp = StartSim(udpSim, "u.json");
    ASSERT_EQ(Ctl({"--udp", udp, "backup", Path("b.json")}).status, 0);
  }
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--pty", "--pace", "9600", "--delay", "400", "--state", Path("s.json")}));
  const int64_t start = SteadyMs();
  const pid_t pid = Spawn(
      {"--serial", sim.Listener("pty "), "--baud", "9600", "--trace", "restore", Path("b.json")});
  ASSERT_GT(pid, 0);
  const FrameHeader port2Write{AREA_PARAMS, OP_WRITE, 320, 2};
  const bool writing = WaitUntilSent(port2Write, 15000);
  kill(pid, SIGINT);
  ::usleep(150 * 1000);
  const int64_t second = SteadyMs();
  kill(pid, SIGINT);
  const CtlRun run = Wait(pid, start);
  ASSERT_TRUE(writing) << run.err;
  EXPECT_EQ(run.status, 130) << run.err;
  EXPECT_LT(SteadyMs() - second, 300) << "no waiting for the reply time-out";
  EXPECT_NE(run.err.find("  written: port1\n  sent without acknowledgement (perhaps written): "
                         "port2\n  not written: port3, port4, 4g, net, table block 1"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(SentHeaders(run.err).back(), port2Write) << "nothing sent after it";
}

}  // namespace
}  // namespace qv31
