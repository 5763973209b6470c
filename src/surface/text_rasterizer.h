#pragma once
// Turns a line of text into a coverage mask. The layered canvas draws the
// mask; a binding supplies the fonts.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt {

struct FontRequest {
  std::string name;        // UTF-8 face name as the program asks for it
  int32_t pixel_size = 0;  // em size in pixels
  bool bold = false;
  bool italic = false;
};

struct CoverageMask {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> alpha;  // row after row, 0 transparent .. 255 opaque
};

class TextRasterizer {
 public:
  virtual ~TextRasterizer() = default;
  // False when no face can be loaded; the text is then skipped.
  virtual bool Render(const FontRequest& font, std::string_view text, CoverageMask& out) = 0;
};

}  // namespace zt
