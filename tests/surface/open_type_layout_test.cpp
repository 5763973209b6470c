#include "surface/text/open_type_layout.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zt {
namespace {

// A table piece: 16-bit words, some of which hold the offset of a child
// piece placed after it, counted from this piece's start.
struct Piece {
  std::vector<uint16_t> words;
  std::vector<std::pair<size_t, Piece>> children;  // word index, child

  std::vector<uint8_t> Bytes() const {
    std::vector<uint16_t> head = words;
    std::vector<uint8_t> tail;
    for (const auto& [word, child] : children) {
      head[word] = static_cast<uint16_t>(2 * words.size() + tail.size());
      const std::vector<uint8_t> bytes = child.Bytes();
      tail.insert(tail.end(), bytes.begin(), bytes.end());
    }
    std::vector<uint8_t> out;
    for (uint16_t w : head) {
      out.push_back(static_cast<uint8_t>(w >> 8));
      out.push_back(static_cast<uint8_t>(w));
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
  }
};

uint16_t Hi(const char* tag) { return static_cast<uint16_t>((tag[0] << 8) | tag[1]); }
uint16_t Lo(const char* tag) { return static_cast<uint16_t>((tag[2] << 8) | tag[3]); }

// A GSUB or GPOS table: the default script turning on `tags`, feature i
// running lookup i.
std::vector<uint8_t> LayoutTable(const std::vector<const char*>& tags, std::vector<Piece> lookups) {
  Piece lang{{0, 0xFFFF, static_cast<uint16_t>(tags.size())}, {}};
  Piece features{{static_cast<uint16_t>(tags.size())}, {}};
  Piece list{{static_cast<uint16_t>(lookups.size())}, {}};
  for (size_t i = 0; i < tags.size(); ++i) {
    lang.words.push_back(static_cast<uint16_t>(i));
    features.words.insert(features.words.end(), {Hi(tags[i]), Lo(tags[i]), 0});
    features.children.push_back({features.words.size() - 1, Piece{{0, 1, uint16_t(i)}, {}}});
  }
  for (Piece& lookup : lookups) {
    list.words.push_back(0);
    list.children.push_back({list.words.size() - 1, std::move(lookup)});
  }
  Piece script{{0, 0}, {{0, lang}}};
  Piece scripts{{1, Hi("DFLT"), Lo("DFLT"), 0}, {{3, script}}};
  return Piece{{1, 0, 0, 0, 0}, {{2, scripts}, {3, features}, {4, list}}}.Bytes();
}

Piece Coverage(uint16_t glyph) { return {{1, 1, glyph}, {}}; }

Piece Lookup(uint16_t type, uint16_t flags, Piece subtable) {
  return {{type, flags, 1, 0}, {{3, std::move(subtable)}}};
}

// f + i -> fi (ignoring marks), and a small-caps swap that is never asked for.
std::vector<uint8_t> Gsub() {
  Piece ligature{{99, 2, 11}, {}};
  Piece set{{1, 0}, {{1, ligature}}};
  Piece liga{{1, 0, 1, 0}, {{1, Coverage(10)}, {3, set}}};
  Piece smcp{{1, 0, 40}, {{1, Coverage(11)}}};
  return LayoutTable({"liga", "smcp"}, {Lookup(4, 0x8, liga), Lookup(1, 0, smcp)});
}

// A pulled 100 units towards V; X moves its follower 50 up and 30 right.
std::vector<uint8_t> Gpos() {
  Piece av{{1, 21, static_cast<uint16_t>(-100)}, {}};
  Piece pair{{1, 0, 0x4, 0, 1, 0}, {{1, Coverage(20)}, {5, av}}};
  Piece classes{{1, 22, 1, 1}, {}};  // glyph 22 in class 1, all others 0
  Piece by_class{{2, 0, 0, 0x3, 0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 30, 50},
                 {{1, Coverage(22)}, {4, classes}, {5, classes}}};
  return LayoutTable({"kern", "dist"}, {Lookup(2, 0, pair), Lookup(2, 0, by_class)});
}

// Glyph 30 is a mark.
std::vector<uint8_t> Gdef() {
  return Piece{{1, 0, 0, 0, 0, 0}, {{2, {{1, 30, 1, 3}, {}}}}}.Bytes();
}

std::vector<ShapedGlyph> Line(std::vector<uint32_t> ids) {
  std::vector<ShapedGlyph> glyphs;
  for (uint32_t id : ids) glyphs.push_back({id, 640, 0, 0});
  return glyphs;
}

std::vector<uint32_t> Ids(const std::vector<ShapedGlyph>& glyphs) {
  std::vector<uint32_t> ids;
  for (const ShapedGlyph& g : glyphs) ids.push_back(g.glyph);
  return ids;
}

TEST(OpenTypeLayoutTest, LigaturesFormOnlyFromTheFeaturesAShaperTurnsOn) {
  const OpenTypeLayout layout(Gsub(), {}, Gdef());
  const std::vector<std::pair<std::vector<uint32_t>, std::vector<uint32_t>>> cases = {
      {{10, 11}, {99}},
      {{11, 10, 11, 10}, {11, 99, 10}},
      {{10, 30, 11}, {99, 30}},  // the mark between stays, after the ligature
      {{10, 12, 11}, {10, 12, 11}},
      {{10}, {10}},
  };
  for (const auto& [in, want] : cases) {
    auto glyphs = Line(in);
    layout.Substitute(glyphs);
    EXPECT_EQ(Ids(glyphs), want);
  }
}

TEST(OpenTypeLayoutTest, PairsMoveInDesignUnitsScaledToTheEm) {
  const OpenTypeLayout layout({}, Gpos(), Gdef());
  // 2048 units to an em of 32 px: one unit is 1/64 px, one 26.6 step.
  auto glyphs = Line({20, 21, 20, 12, 21});
  layout.Position(glyphs, 32 * 64, 32 * 64, 2048);
  EXPECT_EQ(glyphs[0].x_advance, 640 - 100);
  EXPECT_EQ(glyphs[1].x_advance, 640);
  EXPECT_EQ(glyphs[2].x_advance, 640);  // not followed by V
  // Half the em: half the units, rounded to the nearest step.
  glyphs = Line({20, 21});
  layout.Position(glyphs, 16 * 64, 16 * 64, 2048);
  EXPECT_EQ(glyphs[0].x_advance, 640 - 50);
  // The second glyph of a pair with its own value is not the first of the next.
  glyphs = Line({22, 22, 22});
  layout.Position(glyphs, 32 * 64, 32 * 64, 2048);
  EXPECT_EQ(glyphs[1].x_offset, 30);
  EXPECT_EQ(glyphs[1].y_offset, 50);
  EXPECT_EQ(glyphs[2].x_offset, 0);
}

TEST(OpenTypeLayoutTest, CutTablesNeverReadPastTheirEnd) {
  const std::vector<uint8_t> gsub = Gsub(), gpos = Gpos(), gdef = Gdef();
  for (size_t cut = 0; cut <= std::max(gsub.size(), gpos.size()); ++cut) {
    const auto prefix = [cut](const std::vector<uint8_t>& t) {
      return std::vector<uint8_t>(t.begin(),
                                  t.begin() + static_cast<ptrdiff_t>(std::min(cut, t.size())));
    };
    const OpenTypeLayout layout(prefix(gsub), prefix(gpos), prefix(gdef));
    auto glyphs = Line({10, 11, 20, 21, 22, 22});
    layout.Substitute(glyphs);
    layout.Position(glyphs, 32 * 64, 32 * 64, 2048);
    EXPECT_LE(glyphs.size(), 6u);
    EXPECT_GE(glyphs.size(), 5u);
  }
}

}  // namespace
}  // namespace zt
