// Layout tables come from font files anyone may install. Input: two
// big-endian lengths, the GSUB and GPOS tables, then the GDEF table; its
// last bytes double as the line's glyphs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "surface/text/open_type_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  size_t gsub = static_cast<size_t>((data[0] << 8) | data[1]);
  size_t gpos = static_cast<size_t>((data[2] << 8) | data[3]);
  const uint8_t* at = data + 4;
  const uint8_t* end = data + size;
  gsub = std::min(gsub, static_cast<size_t>(end - at));
  std::vector<uint8_t> gsub_table(at, at + gsub);
  at += gsub;
  gpos = std::min(gpos, static_cast<size_t>(end - at));
  std::vector<uint8_t> gpos_table(at, at + gpos);
  at += gpos;
  std::vector<uint8_t> gdef_table(at, end);
  zt::OpenTypeLayout layout(std::move(gsub_table), std::move(gpos_table), gdef_table);
  std::vector<zt::ShapedGlyph> line;
  for (size_t i = gdef_table.size() > 16 ? gdef_table.size() - 16 : 0; i < gdef_table.size(); ++i) {
    line.push_back({gdef_table[i], 640, 0, 0});
  }
  layout.Substitute(line);
  layout.Position(line, 2048, 2048, 1000);
  return 0;
}
