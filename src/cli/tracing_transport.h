#pragma once

#include <chrono>
#include <cstdio>

#include "link/request_engine.h"

namespace qv31 {

// Writes every block sent (">") and received ("<") as hex with a millisecond time stamp.
class TracingTransport final : public BlockTransport {
 public:
  TracingTransport(BlockTransport& inner, std::FILE* out) : inner_(inner), out_(out) {}

  bool ReceiveBlock(uint8_t* buffer, int32_t& length) override;
  bool SendBlock(int32_t length, const uint8_t* data) override;

 private:
  void Line(char mark, const uint8_t* data, int32_t length);

  BlockTransport& inner_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
};

}  // namespace qv31
