#include "cli/trace_printer.h"

#include "session/trace_text.h"

namespace qv31 {

void TracePrinter::OnLinkEvent(const LinkEvent& event) {
  std::fprintf(out_, "%s\n", TraceLine(event, sinceMs_).c_str());
  std::fflush(out_);
}

}  // namespace qv31
