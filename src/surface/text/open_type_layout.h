#pragma once
// The part of OpenType layout that Latin captions meet: ligatures and
// single substitutions from GSUB, pair kerning from GPOS, applied in the
// order and with the rounding HarfBuzz 6 uses for a default-script run, so
// text set here lands where it did when SDL2_ttf shaped it. Contextual,
// mark and cursive lookups are left out.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zt {

struct ShapedGlyph {
  uint32_t glyph = 0;
  int32_t x_advance = 0;  // 26.6 pixels
  int32_t x_offset = 0;
  int32_t y_offset = 0;
  bool hidden = false;  // a format character, shown as nothing
};

class OpenTypeLayout {
 public:
  // Tables as the font file holds them; any may be empty.
  OpenTypeLayout(std::vector<uint8_t> gsub, std::vector<uint8_t> gpos, std::vector<uint8_t> gdef);

  // Replaces glyph runs by ligatures and substitutes.
  void Substitute(std::vector<ShapedGlyph>& glyphs) const;
  // Adds the kerning; `x_scale` and `y_scale` are the font's em in 26.6
  // pixels, `upem` its design units per em.
  void Position(std::vector<ShapedGlyph>& glyphs, int32_t x_scale, int32_t y_scale,
                uint32_t upem) const;

 private:
  struct Lookup {
    uint16_t type = 0;
    uint16_t flags = 0;
    std::vector<uint32_t> subtables;  // offsets into the table
  };
  struct Table {
    std::vector<uint8_t> data;
    std::vector<Lookup> lookups;  // in the order they apply
  };
  static Table Load(std::vector<uint8_t> data, uint16_t extension_type);
  bool Skipped(uint32_t glyph, uint16_t flags) const;
  uint16_t GlyphClass(uint32_t glyph) const;
  bool SubstituteAt(const Table& table, const Lookup& lookup, std::vector<ShapedGlyph>& glyphs,
                    size_t at, size_t& budget) const;
  bool KernAt(const Table& table, const Lookup& lookup, std::vector<ShapedGlyph>& glyphs,
              size_t& at, int64_t x_mult, int64_t y_mult, size_t& budget) const;

  Table gsub_;
  Table gpos_;
  std::vector<uint8_t> gdef_;
};

}  // namespace zt
