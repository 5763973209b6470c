// Any command string: parsing never fails loudly, what it accepts holds
// together, and a reply is never written past its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "surface/mci/mci_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (std::optional<zt::MciCommand> c = zt::ParseMciCommand(text)) {
    if (c->alias.empty() || c->alias.find(' ') != std::string::npos) std::abort();
    if (c->kind == zt::MciKind::kOpen) {
      if (c->path.empty() || text != "open " + c->path + " alias " + c->alias) std::abort();
    } else if (!c->path.empty()) {
      std::abort();
    }
  }
  // The text as a reply into a buffer of a size taken from the input.
  uint32_t buffer_size = size == 0 ? 0 : data[0] % 64;
  std::vector<char> buffer(buffer_size);
  uint32_t result = zt::WriteMciReply(text, buffer.empty() ? nullptr : buffer.data(), buffer_size);
  if ((result == 0) != (text.size() < buffer_size || (text.empty() && buffer_size == 0))) {
    std::abort();
  }
  return 0;
}
