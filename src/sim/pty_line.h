#pragma once

#include <string>

#include "sim/byte_line.h"

namespace qv31 {

// A pseudo-terminal the simulator creates: it keeps the master side, a client (the tool)
// opens the slave path like any serial device. The simulator also holds the slave open
// itself, so a client may come and go without the master seeing a hang-up.
class PtyLine : public ByteLine {
 public:
  PtyLine() = default;
  ~PtyLine() override;
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // Creates the pair in raw mode. With a non-empty `linkPath`, also makes a symbolic link
  // there to the slave (replacing an older symbolic link, never another kind of file).
  // 1 on success, -1 with `error` set.
  int Open(const std::string& linkPath, std::string& error);
  // Closes both sides and removes the link if it still points to this pseudo-terminal.
  void Close();

  const std::string& SlavePath() const { return slavePath_; }
  const std::string& LinkPath() const { return linkPath_; }

  int Fd() const override { return master_; }
  int32_t Read(uint8_t* buffer, int32_t maximum) override;
  int32_t Write(const uint8_t* data, int32_t length) override;
  std::string Name() const override { return "pty " + slavePath_; }

 private:
  int master_ = -1;
  int slaveHold_ = -1;
  std::string slavePath_;
  std::string linkPath_;
};

}  // namespace qv31
