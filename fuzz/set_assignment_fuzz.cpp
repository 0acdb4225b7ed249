// Splits arbitrary bytes at line feeds into the KEY=VALUE arguments of set and checks that an
// accepted list names each key once with a value the key allows.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "session/key_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const size_t lf = rest.find('\n');
    args.emplace_back(rest.substr(0, lf));
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
  }
  std::string error;
  const auto parsed = qv31::ParseAssignments(args, error);
  if (!parsed) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (parsed->size() != args.size()) std::abort();
  std::set<const qv31::CtlKey*> keys;
  for (const auto& a : *parsed) {
    std::string e;
    if (!keys.insert(a.key).second || qv31::NormalizeValue(*a.key, a.value, e) != a.value) {
      std::abort();
    }
  }
  return 0;
}
