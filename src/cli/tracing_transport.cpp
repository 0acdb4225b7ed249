#include "cli/tracing_transport.h"

namespace qv31 {

bool TracingTransport::ReceiveBlock(uint8_t* buffer, int32_t& length) {
  const bool got = inner_.ReceiveBlock(buffer, length);
  if (got) Line('<', buffer, length);
  return got;
}

bool TracingTransport::SendBlock(int32_t length, const uint8_t* data) {
  Line('>', data, length);
  return inner_.SendBlock(length, data);
}

void TracingTransport::Line(char mark, const uint8_t* data, int32_t length) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - epoch_)
                      .count();
  std::fprintf(out_, "%8lld.%03lld %c", static_cast<long long>(ms / 1000),
               static_cast<long long>(ms % 1000), mark);
  for (int32_t i = 0; i < length; ++i) std::fprintf(out_, " %02X", data[i]);
  std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace qv31
