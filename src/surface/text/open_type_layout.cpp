#include "surface/text/open_type_layout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace zt {
namespace {

constexpr uint32_t Tag(const char (&t)[5]) {
  return (static_cast<uint32_t>(t[0]) << 24) | (static_cast<uint32_t>(t[1]) << 16) |
         (static_cast<uint32_t>(t[2]) << 8) | static_cast<uint32_t>(t[3]);
}

// The features HarfBuzz turns on for a left-to-right run of the default
// shaper; the others need text or options captions never have.
constexpr std::array kFeatures = {Tag("rvrn"), Tag("ltra"), Tag("ltrm"), Tag("rand"), Tag("trak"),
                                  Tag("abvm"), Tag("blwm"), Tag("ccmp"), Tag("locl"), Tag("mark"),
                                  Tag("mkmk"), Tag("rlig"), Tag("calt"), Tag("clig"), Tag("curs"),
                                  Tag("dist"), Tag("kern"), Tag("liga"), Tag("rclt")};

constexpr uint16_t kSingleSubst = 1;
constexpr uint16_t kLigatureSubst = 4;
constexpr uint16_t kPairPos = 2;
// Steps one line may take through a table, so that a font made to loop
// costs a bounded time; real fonts take three or so per glyph.
size_t Budget(size_t glyphs) { return std::max<size_t>(16384, 64 * glyphs); }

constexpr uint16_t kIgnoreBase = 0x2, kIgnoreLigatures = 0x4, kIgnoreMarks = 0x8;

// Big-endian reads that give 0 past the end, so a damaged table only
// loses its effect.
uint16_t U16(const std::vector<uint8_t>& d, size_t at) {
  if (at + 2 > d.size() || at + 2 < at) return 0;
  return static_cast<uint16_t>((d[at] << 8) | d[at + 1]);
}
uint32_t U32(const std::vector<uint8_t>& d, size_t at) {
  return (static_cast<uint32_t>(U16(d, at)) << 16) | U16(d, at + 2);
}

// The count at `at` of `entry`-byte records that follow from `first`, cut to
// what the table holds.
uint16_t Count(const std::vector<uint8_t>& d, size_t at, size_t first, size_t entry) {
  if (first >= d.size()) return 0;
  return static_cast<uint16_t>(std::min<size_t>(U16(d, at), (d.size() - first) / entry));
}

// The first of `count` sorted entries whose key range ends at or after
// `glyph`; `range(i)` gives entry i's first and last glyph.
template <class Range>
int Find(uint16_t count, uint32_t glyph, Range range) {
  int lo = 0, hi = count;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    const auto [first, last] = range(mid);
    if (glyph < first) {
      hi = mid;
    } else if (glyph > last) {
      lo = mid + 1;
    } else {
      return mid;
    }
  }
  return -1;
}

// Index of `glyph` in a coverage table, or -1.
int CoverageIndex(const std::vector<uint8_t>& d, size_t at, uint32_t glyph) {
  const uint16_t format = U16(d, at);
  const uint16_t count = U16(d, at + 2);
  if (format == 1) {
    return Find(count, glyph, [&](int i) {
      const uint16_t g = U16(d, at + 4 + 2u * i);
      return std::pair{g, g};
    });
  }
  if (format == 2) {
    const int i = Find(count, glyph, [&](int i) {
      return std::pair{U16(d, at + 4 + 6u * i), U16(d, at + 6 + 6u * i)};
    });
    if (i >= 0) return U16(d, at + 8 + 6u * i) + static_cast<int>(glyph - U16(d, at + 4 + 6u * i));
  }
  return -1;
}

uint16_t ClassOf(const std::vector<uint8_t>& d, size_t at, uint32_t glyph) {
  const uint16_t format = U16(d, at);
  if (format == 1) {
    const uint16_t start = U16(d, at + 2);
    if (glyph >= start && glyph - start < U16(d, at + 4))
      return U16(d, at + 6 + 2 * (glyph - start));
  } else if (format == 2) {
    const int i = Find(U16(d, at + 2), glyph, [&](int i) {
      return std::pair{U16(d, at + 4 + 6u * i), U16(d, at + 6 + 6u * i)};
    });
    if (i >= 0) return U16(d, at + 8 + 6u * i);
  }
  return 0;
}

int32_t Scale(int16_t v, int64_t mult) { return static_cast<int32_t>((v * mult + 32768) >> 16); }

// Adds one value record at `at` to `glyph`; returns the record's end.
size_t ApplyValue(const std::vector<uint8_t>& d, size_t at, uint16_t format, ShapedGlyph& glyph,
                  int64_t x_mult, int64_t y_mult) {
  for (uint16_t bit = 1; bit <= 0x80; bit = static_cast<uint16_t>(bit << 1)) {
    if ((format & bit) == 0) continue;
    const auto v = static_cast<int16_t>(U16(d, at));
    at += 2;
    if (bit == 0x1) glyph.x_offset += Scale(v, x_mult);
    if (bit == 0x2) glyph.y_offset += Scale(v, y_mult);
    if (bit == 0x4) glyph.x_advance += Scale(v, x_mult);
    // Vertical advances do not apply to a horizontal line; the device
    // tables only to a font with a pixel size set, which ours has not.
  }
  return at;
}

}  // namespace

OpenTypeLayout::OpenTypeLayout(std::vector<uint8_t> gsub, std::vector<uint8_t> gpos,
                               std::vector<uint8_t> gdef)
    : gsub_(Load(std::move(gsub), 7)), gpos_(Load(std::move(gpos), 9)), gdef_(std::move(gdef)) {}

OpenTypeLayout::Table OpenTypeLayout::Load(std::vector<uint8_t> data, uint16_t extension_type) {
  Table table;
  table.data = std::move(data);
  const auto& d = table.data;
  if (d.size() < 10 || U16(d, 0) != 1) return table;
  const size_t scripts = U16(d, 4);
  const size_t features = U16(d, 6);
  const size_t lookups = U16(d, 8);

  // No script is set on the run, so the default script, else Latin.
  size_t script = 0;
  for (uint32_t wanted : {Tag("DFLT"), Tag("dflt"), Tag("latn")}) {
    for (uint16_t i = 0; script == 0 && i < Count(d, scripts, scripts + 2, 6); ++i) {
      if (U32(d, scripts + 2 + 6u * i) == wanted) script = scripts + U16(d, scripts + 6 + 6u * i);
    }
  }
  if (script == 0) return table;
  size_t lang = 0;
  for (uint16_t i = 0; i < Count(d, script + 2, script + 4, 6); ++i) {
    if (U32(d, script + 4 + 6u * i) == Tag("dflt")) lang = script + U16(d, script + 8 + 6u * i);
  }
  if (lang == 0 && U16(d, script) != 0) lang = script + U16(d, script);
  if (lang == 0) return table;

  std::vector<uint16_t> chosen;
  const auto take_feature = [&](uint16_t index) {
    const size_t feature = features + U16(d, features + 6 + 6u * index);
    for (uint16_t k = 0; k < Count(d, feature + 2, feature + 4, 2); ++k)
      chosen.push_back(U16(d, feature + 4 + 2u * k));
  };
  const uint16_t required = U16(d, lang + 2);
  if (required != 0xFFFF && required < U16(d, features)) take_feature(required);
  std::vector<uint32_t> seen;
  for (uint16_t i = 0; i < Count(d, lang + 4, lang + 6, 2); ++i) {
    const uint16_t index = U16(d, lang + 6 + 2u * i);
    if (index >= U16(d, features)) continue;
    const uint32_t tag = U32(d, features + 2 + 6u * index);
    if (std::find(kFeatures.begin(), kFeatures.end(), tag) == kFeatures.end()) continue;
    if (std::find(seen.begin(), seen.end(), tag) != seen.end()) continue;
    seen.push_back(tag);
    take_feature(index);
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());

  // Real fonts hold a few hundred subtables; a file claiming far more is
  // cut short rather than walked.
  size_t room = size_t{1} << 16;
  for (uint16_t index : chosen) {
    if (index >= U16(d, lookups)) continue;
    const size_t at = lookups + U16(d, lookups + 2 + 2u * index);
    const uint16_t declared = U16(d, at);
    Lookup lookup;
    lookup.type = declared;
    lookup.flags = U16(d, at + 2);
    for (uint16_t k = 0; k < Count(d, at + 4, at + 6, 2) && room > 0; ++k, --room) {
      size_t sub = at + U16(d, at + 6 + 2u * k);
      if (declared == extension_type) {
        if (U16(d, sub) != 1) continue;
        const uint16_t real_type = U16(d, sub + 2);
        sub += U32(d, sub + 4);
        if (!lookup.subtables.empty() && real_type != lookup.type) continue;
        lookup.type = real_type;
      }
      lookup.subtables.push_back(static_cast<uint32_t>(sub));
    }
    if (lookup.type == extension_type) continue;
    table.lookups.push_back(std::move(lookup));
  }
  return table;
}

uint16_t OpenTypeLayout::GlyphClass(uint32_t glyph) const {
  const size_t classes = U16(gdef_, 4);
  // Without classes every glyph of Latin text counts as a base glyph.
  if (classes == 0) return 1;
  return ClassOf(gdef_, classes, glyph);
}

bool OpenTypeLayout::Skipped(uint32_t glyph, uint16_t flags) const {
  if ((flags & (kIgnoreBase | kIgnoreLigatures | kIgnoreMarks)) == 0) return false;
  const uint16_t klass = GlyphClass(glyph);
  return ((flags & kIgnoreBase) != 0 && klass == 1) ||
         ((flags & kIgnoreLigatures) != 0 && klass == 2) ||
         ((flags & kIgnoreMarks) != 0 && klass == 3);
}

bool OpenTypeLayout::SubstituteAt(const Table& table, const Lookup& lookup,
                                  std::vector<ShapedGlyph>& glyphs, size_t at,
                                  size_t& budget) const {
  const auto& d = table.data;
  const uint32_t glyph = glyphs[at].glyph;
  for (uint32_t sub : lookup.subtables) {
    if (budget == 0) return false;
    --budget;
    const int index = CoverageIndex(d, sub + U16(d, sub + 2), glyph);
    if (index < 0) continue;
    const uint16_t format = U16(d, sub);
    if (lookup.type == kSingleSubst) {
      if (format == 1) {
        glyphs[at].glyph = (glyph + U16(d, sub + 4)) & 0xFFFF;
        return true;
      }
      if (format == 2 && index < U16(d, sub + 4)) {
        glyphs[at].glyph = U16(d, sub + 6 + 2u * static_cast<size_t>(index));
        return true;
      }
      continue;
    }
    if (lookup.type != kLigatureSubst || format != 1 || index >= U16(d, sub + 4)) continue;
    const size_t set = sub + U16(d, sub + 6 + 2u * static_cast<size_t>(index));
    for (uint16_t l = 0; l < U16(d, set) && budget > 0; ++l) {
      --budget;
      const size_t lig = set + U16(d, set + 2 + 2u * l);
      const uint16_t components = U16(d, lig + 2);
      if (components == 0) continue;
      std::vector<size_t> matched;
      size_t next = at;
      for (uint16_t c = 1; c < components; ++c) {
        ++next;
        while (next < glyphs.size() && Skipped(glyphs[next].glyph, lookup.flags)) ++next;
        if (next >= glyphs.size() || glyphs[next].glyph != U16(d, lig + 4 + 2u * (c - 1))) break;
        matched.push_back(next);
      }
      if (matched.size() + 1 != components) continue;
      glyphs[at].glyph = U16(d, lig);
      for (auto it = matched.rbegin(); it != matched.rend(); ++it) {
        glyphs.erase(glyphs.begin() + static_cast<ptrdiff_t>(*it));
      }
      return true;
    }
  }
  return false;
}

void OpenTypeLayout::Substitute(std::vector<ShapedGlyph>& glyphs) const {
  size_t budget = Budget(glyphs.size());
  for (const Lookup& lookup : gsub_.lookups) {
    if (lookup.type != kSingleSubst && lookup.type != kLigatureSubst) continue;
    for (size_t at = 0; at < glyphs.size(); ++at) {
      if (!Skipped(glyphs[at].glyph, lookup.flags)) SubstituteAt(gsub_, lookup, glyphs, at, budget);
    }
  }
}

bool OpenTypeLayout::KernAt(const Table& table, const Lookup& lookup,
                            std::vector<ShapedGlyph>& glyphs, size_t& at, int64_t x_mult,
                            int64_t y_mult, size_t& budget) const {
  const auto& d = table.data;
  size_t second = at + 1;
  while (second < glyphs.size() && Skipped(glyphs[second].glyph, lookup.flags)) ++second;
  if (second >= glyphs.size()) return false;
  for (uint32_t sub : lookup.subtables) {
    if (budget == 0) return false;
    --budget;
    const int index = CoverageIndex(d, sub + U16(d, sub + 2), glyphs[at].glyph);
    if (index < 0) continue;
    const uint16_t format1 = U16(d, sub + 4), format2 = U16(d, sub + 6);
    const size_t len1 = 2u * static_cast<size_t>(std::popcount(format1));
    const size_t len2 = 2u * static_cast<size_t>(std::popcount(format2));
    size_t values = 0;
    if (U16(d, sub) == 1) {
      if (index >= U16(d, sub + 8)) continue;
      const size_t set = sub + U16(d, sub + 10 + 2u * static_cast<size_t>(index));
      const size_t record = 2 + len1 + len2;
      const int r = Find(U16(d, set), glyphs[second].glyph, [&](int i) {
        const uint16_t g = U16(d, set + 2 + record * i);
        return std::pair{g, g};
      });
      if (r >= 0) values = set + 4 + record * static_cast<size_t>(r);
    } else if (U16(d, sub) == 2) {
      const uint16_t class1 = ClassOf(d, sub + U16(d, sub + 8), glyphs[at].glyph);
      const uint16_t class2 = ClassOf(d, sub + U16(d, sub + 10), glyphs[second].glyph);
      const uint16_t count1 = U16(d, sub + 12), count2 = U16(d, sub + 14);
      if (class1 < count1 && class2 < count2) {
        values = sub + 16 + (len1 + len2) * (static_cast<size_t>(class1) * count2 + class2);
      }
    }
    if (values == 0) continue;
    const size_t rest = ApplyValue(d, values, format1, glyphs[at], x_mult, y_mult);
    ApplyValue(d, rest, format2, glyphs[second], x_mult, y_mult);
    // A pair that moves its second glyph takes it out of the next pair.
    at = len2 != 0 ? second + 1 : second;
    return true;
  }
  return false;
}

void OpenTypeLayout::Position(std::vector<ShapedGlyph>& glyphs, int32_t x_scale, int32_t y_scale,
                              uint32_t upem) const {
  if (upem == 0) return;
  const int64_t x_mult = (static_cast<int64_t>(x_scale) << 16) / upem;
  const int64_t y_mult = (static_cast<int64_t>(y_scale) << 16) / upem;
  size_t budget = Budget(glyphs.size());
  for (const Lookup& lookup : gpos_.lookups) {
    if (lookup.type != kPairPos) continue;
    for (size_t at = 0; at < glyphs.size();) {
      if (Skipped(glyphs[at].glyph, lookup.flags) ||
          !KernAt(gpos_, lookup, glyphs, at, x_mult, y_mult, budget)) {
        ++at;
      }
    }
  }
}

}  // namespace zt
