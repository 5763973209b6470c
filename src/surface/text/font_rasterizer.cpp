#include "surface/text/font_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "surface/text/bold_smear.h"
#include "surface/text/open_type_layout.h"

namespace zt {
namespace {

class FreeTypeLibrary {
 public:
  FreeTypeLibrary() : error_(FT_Init_FreeType(&library_)) {}
  ~FreeTypeLibrary() {
    if (error_ == 0) FT_Done_FreeType(library_);
  }
  FreeTypeLibrary(const FreeTypeLibrary&) = delete;
  FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;
  FT_Library get() const { return error_ == 0 ? library_ : nullptr; }
  FT_Error error() const { return error_; }

 private:
  FT_Library library_ = nullptr;
  FT_Error error_;
};

struct GlyphDeleter {
  void operator()(FT_Glyph g) const { FT_Done_Glyph(g); }
};
using GlyphPtr = std::unique_ptr<std::remove_pointer_t<FT_Glyph>, GlyphDeleter>;

// 26.6 fixed point to whole pixels.
int Floor26(FT_Pos v) { return static_cast<int>((v & -64) / 64); }
int Ceil26(FT_Pos v) { return Floor26(v + 63); }

// The slant of synthetic italics, 0.2126 in 16.16.
constexpr FT_Fixed kItalicShear = 0x0366A;

// Format characters that never show: the shaper lays them out as a space
// of no width.
bool DefaultIgnorable(char32_t c) {
  return c == 0xAD || c == 0x34F || c == 0x61C || (c >= 0x115F && c <= 0x1160) ||
         (c >= 0x17B4 && c <= 0x17B5) || (c >= 0x180B && c <= 0x180F) ||
         (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) ||
         c == 0xFEFF || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) ||
         (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A) ||
         (c >= 0xE0000 && c <= 0xE0FFF);
}

// One decoded character; invalid bytes become U+FFFD one at a time, as
// the shaper the layout follows reads them.
char32_t NextCodepoint(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const auto cont = [&](size_t i) { return i < text.size() && (byte(i) & 0xC0) == 0x80; };
  const unsigned char c = byte(at);
  if (c < 0x80) {
    ++at;
    return c;
  }
  if (c >= 0xC2 && c <= 0xDF && cont(at + 1)) {
    const char32_t cp = ((c & 0x1Fu) << 6) | (byte(at + 1) & 0x3Fu);
    at += 2;
    return cp;
  }
  if (c >= 0xE0 && c <= 0xEF && cont(at + 1) && cont(at + 2)) {
    const char32_t cp =
        ((c & 0x0Fu) << 12) | ((byte(at + 1) & 0x3Fu) << 6) | (byte(at + 2) & 0x3Fu);
    if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
      at += 3;
      return cp;
    }
  }
  if (c >= 0xF0 && c <= 0xF4 && cont(at + 1) && cont(at + 2) && cont(at + 3)) {
    const char32_t cp = ((c & 0x07u) << 18) | ((byte(at + 1) & 0x3Fu) << 12) |
                        ((byte(at + 2) & 0x3Fu) << 6) | (byte(at + 3) & 0x3Fu);
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      at += 4;
      return cp;
    }
  }
  ++at;
  return 0xFFFD;
}

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

struct FontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using FontSetPtr = std::unique_ptr<FcFontSet, FontSetDeleter>;

struct ObjectSetDeleter {
  void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};

bool HasFamily(FcPattern* font, const std::string& name) {
  FcChar8* family = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    if (FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(name.c_str())) == 0) {
      return true;
    }
  }
  return false;
}

// A face file read as FreeType asks for its parts. Mapped whole, every page
// a face touches once (the character map, the layout tables) would stay in
// the process for as long as the face is open.
unsigned long ReadFontFile(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                           unsigned long count) {
  if (count == 0) return offset <= stream->size ? 0 : 1;  // a seek: 0 when it succeeds
  const int fd = static_cast<int>(stream->descriptor.value);
  unsigned long done = 0;
  while (done < count) {
    const ssize_t n = pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<unsigned long>(n);
  }
  return done;
}

void CloseFontFile(FT_Stream stream) {
  if (stream->descriptor.value >= 0) close(static_cast<int>(stream->descriptor.value));
  stream->descriptor.value = -1;
}

}  // namespace

struct FontRasterizer::Impl {
  FreeTypeLibrary freetype;
  FcConfig* config = nullptr;

  Impl() = default;
  ~Impl() { Release(); }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // Loaded when a request is new (a few milliseconds)...
  FcConfig* Config() {
    if (config == nullptr) config = FcInitLoadConfigAndFonts();
    return config;
  }
  // ...and given back once it is answered: the font list and the parsed
  // configuration are most of the heap a caption would otherwise keep.
  void Release() {
    if (config == nullptr) return;
    FcConfigDestroy(config);
    config = nullptr;
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
  }

  // The best match for `family` with the asked styles; with `exact` only a
  // face that really carries that family name counts.
  PatternPtr Match(const std::string& family, bool bold, bool italic, bool exact) {
    FcConfig* config = Config();
    if (config == nullptr) return nullptr;
    PatternPtr pattern(FcPatternCreate());
    if (!family.empty()) {
      FcPatternAddString(pattern.get(), FC_FAMILY,
                         reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr font(FcFontMatch(config, pattern.get(), &result));
    if (!font || result != FcResultMatch) return nullptr;
    FcChar8* file = nullptr;
    if (FcPatternGetString(font.get(), FC_FILE, 0, &file) != FcResultMatch) return nullptr;
    if (exact && !HasFamily(font.get(), family)) return nullptr;
    return font;
  }

  // The weight and slant fontconfig's cache holds for a face of a file; false
  // where it holds no single integer pair (a variable face has ranges).
  // Reading the file again would cost more than the rest of a match.
  bool CachedStyle(const FcChar8* file, int index, int& weight, int& slant) {
    FcConfig* config = Config();
    if (config == nullptr || file == nullptr) return false;
    PatternPtr pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FILE, file);
    FcPatternAddInteger(pattern.get(), FC_INDEX, index);
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
        FcObjectSetBuild(FC_WEIGHT, FC_SLANT, nullptr));
    FontSetPtr set(FcFontList(config, pattern.get(), objects.get()));
    if (!set || set->nfont != 1) return false;
    return FcPatternGetInteger(set->fonts[0], FC_WEIGHT, 0, &weight) == FcResultMatch &&
           FcPatternGetInteger(set->fonts[0], FC_SLANT, 0, &slant) == FcResultMatch;
  }

  // Any font file fontconfig knows, for a last resort.
  PatternPtr AnyFont() {
    FcConfig* config = Config();
    if (config == nullptr) return nullptr;
    PatternPtr pattern(FcPatternCreate());
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
        FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_WEIGHT, FC_SLANT, nullptr));
    FontSetPtr set(FcFontList(config, pattern.get(), objects.get()));
    if (!set) return nullptr;
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* file = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternReference(set->fonts[i]);
        return PatternPtr(set->fonts[i]);
      }
    }
    return nullptr;
  }
};

// A face at one size with the styles it must add, and the line metrics
// that follow from them.
struct FontRasterizer::OpenFont {
  FT_StreamRec file{};  // outlives the face, which closes it
  FT_Face face = nullptr;
  std::optional<OpenTypeLayout> layout;
  bool bold = false;    // widened by smearing the coverage sideways
  bool italic = false;  // sheared outlines
  int ascent = 0;
  int height = 0;
  int overhang = 0;  // pixels the smear adds

  // A line's glyphs come back with every line printed (the status line on
  // each backdrop), and hinting and rendering one costs more than placing
  // it, so each font keeps what it made. A text of many distinct glyphs
  // starts the memory over rather than growing it.
  static constexpr size_t kGlyphsKept = 512;
  template <typename Value>
  static const Value& Remember(std::unordered_map<FT_UInt, Value>& kept, FT_UInt glyph,
                               Value value) {
    if (kept.size() >= kGlyphsKept) kept.clear();
    return kept.insert_or_assign(glyph, std::move(value)).first->second;
  }

  ~OpenFont() {
    if (face != nullptr) FT_Done_Face(face);
    CloseFontFile(&file);
  }
  OpenFont() = default;
  OpenFont(const OpenFont&) = delete;
  OpenFont& operator=(const OpenFont&) = delete;

  FT_Error OpenFile(FT_Library library, const std::string& path, int32_t index) {
    file.descriptor.value = -1;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FT_Err_Cannot_Open_Resource;
    file.descriptor.value = fd;
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size <= 0) return FT_Err_Cannot_Open_Stream;
    file.size = static_cast<unsigned long>(info.st_size);
    file.read = ReadFontFile;
    file.close = CloseFontFile;
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = &file;
    return FT_Open_Face(library, &args, index, &face);
  }

  std::vector<uint8_t> SfntTable(const char (&tag)[5]) const {
    const FT_ULong name = FT_MAKE_TAG(tag[0], tag[1], tag[2], tag[3]);
    FT_ULong length = 0;
    std::vector<uint8_t> data;
    if (FT_Load_Sfnt_Table(face, name, 0, nullptr, &length) != 0 || length == 0) return data;
    data.resize(length);
    if (FT_Load_Sfnt_Table(face, name, 0, data.data(), &length) != 0) data.clear();
    return data;
  }

  // The glyphs of a line with their pen advances and offsets, in 26.6.
  std::vector<ShapedGlyph> Shape(std::string_view text) const {
    std::vector<ShapedGlyph> glyphs;
    for (size_t at = 0; at < text.size();) {
      const char32_t c = NextCodepoint(text, at);
      glyphs.push_back({GlyphFor(c), 0, 0, 0, DefaultIgnorable(c)});
    }
    if (layout) layout->Substitute(glyphs);
    for (ShapedGlyph& g : glyphs)
      g.x_advance = g.hidden ? 0 : static_cast<int32_t>(Advance(g.glyph));
    if (layout && FT_IS_SCALABLE(face)) {
      // The em in 26.6 pixels, as the shaper rounds it.
      const auto em = [&](FT_Fixed scale) {
        return static_cast<int32_t>(
            (static_cast<uint64_t>(scale) * face->units_per_EM + (1u << 15)) >> 16);
      };
      layout->Position(glyphs, em(face->size->metrics.x_scale), em(face->size->metrics.y_scale),
                       face->units_per_EM);
    }
    const FT_UInt space = GlyphFor(U' ');
    for (ShapedGlyph& g : glyphs) {
      if (g.hidden) g = {space, 0, 0, 0, true};
    }
    if (space == 0) std::erase_if(glyphs, [](const ShapedGlyph& g) { return g.hidden; });
    return glyphs;
  }

  // Prefers a full Unicode map, then the BMP or symbol maps.
  void PickCharmap() {
    FT_CharMap found = nullptr;
    for (int i = 0; i < face->num_charmaps && found == nullptr; ++i) {
      const FT_CharMap map = face->charmaps[i];
      if (map->platform_id == 3 && map->encoding_id == 10) found = map;
    }
    for (int i = 0; i < face->num_charmaps && found == nullptr; ++i) {
      const FT_CharMap map = face->charmaps[i];
      if ((map->platform_id == 3 && (map->encoding_id == 1 || map->encoding_id == 0)) ||
          (map->platform_id == 2 && map->encoding_id == 1) || map->platform_id == 0) {
        found = map;
      }
    }
    if (found != nullptr) FT_Set_Charmap(face, found);
  }

  bool SetSize(int32_t pixel_size) {
    if (FT_IS_SCALABLE(face)) {
      if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(pixel_size) * 64, 0, 0) != 0) {
        return false;
      }
      const FT_Fixed scale = face->size->metrics.y_scale;
      ascent = Ceil26(FT_MulFix(face->ascender, scale));
      height = Ceil26(FT_MulFix(face->ascender - face->descender, scale));
    } else {
      if (face->num_fixed_sizes <= 0) return false;
      const int strike = std::clamp(pixel_size, 0, face->num_fixed_sizes - 1);
      if (FT_Select_Size(face, strike) != 0) return false;
      ascent = Ceil26(face->size->metrics.ascender);
      height = Ceil26(face->size->metrics.height);
    }
    overhang = face->size->metrics.y_ppem / 10;
    return true;
  }

  FT_UInt GlyphFor(char32_t cp) const {
    FT_UInt glyph = FT_Get_Char_Index(face, cp);
    // Symbol fonts keep their Latin-1 range at U+F000.
    if (glyph == 0 && cp <= 0xFF && face->charmap != nullptr &&
        face->charmap->encoding == FT_ENCODING_MS_SYMBOL) {
      glyph = FT_Get_Char_Index(face, 0xF000 + cp);
    }
    return glyph;
  }

  // The pen advance in 26.6, rounded from the hinted 16.16 value.
  FT_Pos Advance(FT_UInt glyph) const {
    if (auto it = advances_.find(glyph); it != advances_.end()) return it->second;
    return Remember(advances_, glyph, AdvanceOf(glyph));
  }
  FT_Pos AdvanceOf(FT_UInt glyph) const {
    FT_Fixed v = 0;
    FT_Get_Advance(face, glyph, FT_LOAD_DEFAULT, &v);
    return static_cast<int>(static_cast<float>(v) + (1 << 9)) >> 10;
  }

  // Ink box of a glyph relative to its pen position, in pixels.
  struct Box {
    int left, top, width, rows;
  };
  bool Measure(FT_UInt glyph, Box& box) const {
    if (auto it = boxes_.find(glyph); it != boxes_.end()) {
      box = it->second;
      return true;
    }
    if (!MeasureOf(glyph, box)) return false;
    Remember(boxes_, glyph, box);
    return true;
  }
  bool MeasureOf(FT_UInt glyph, Box& box) const {
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0) return false;
    const FT_GlyphSlot slot = face->glyph;
    box = {slot->bitmap_left, slot->bitmap_top, static_cast<int>(slot->bitmap.width),
           static_cast<int>(slot->bitmap.rows)};
    if (box.left == 0 && box.top == 0 && box.width == 0 && box.rows == 0) {
      // An outline not yet rendered: its box from the metrics.
      const FT_Glyph_Metrics& m = slot->metrics;
      const int min_x = Floor26(m.horiBearingX);
      const int max_x = Ceil26(m.horiBearingX + m.width);
      const int max_y = Floor26(m.horiBearingY);
      box = {min_x, max_y, max_x - min_x, Ceil26(m.height)};
    }
    if (bold) box.width += overhang;
    if (italic && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      box.width += static_cast<int>((kItalicShear * height) >> 16);
    }
    return true;
  }

  // The glyph's 8-bit coverage with the styles applied.
  struct Image {
    int left = 0, top = 0, width = 0, rows = 0;
    std::vector<uint8_t> pixels;
  };
  // The glyph's image, or nullptr where FreeType cannot make it.
  const Image* Drawn(FT_UInt glyph) const {
    if (auto it = images_.find(glyph); it != images_.end()) return &it->second;
    Image image;
    if (!Draw(glyph, image)) return nullptr;
    return &Remember(images_, glyph, std::move(image));
  }
  // One row of a FreeType bitmap as 8-bit coverage.
  static void CopyCoverage(unsigned char mode, const unsigned char* in, int width, uint8_t* out) {
    switch (mode) {
      case FT_PIXEL_MODE_MONO:
        for (int x = 0; x < width; ++x) out[x] = (in[x / 8] & (0x80 >> (x % 8))) != 0 ? 255 : 0;
        break;
      case FT_PIXEL_MODE_GRAY2:
        for (int x = 0; x < width; ++x) {
          const int v = (in[x / 4] >> (6 - 2 * (x % 4))) & 0x3;
          out[x] = v != 0 ? static_cast<uint8_t>(256 * v / 3 - 1) : 0;
        }
        break;
      case FT_PIXEL_MODE_GRAY4:
        for (int x = 0; x < width; ++x) {
          const int v = (in[x / 2] >> (4 - 4 * (x % 2))) & 0xF;
          out[x] = v != 0 ? static_cast<uint8_t>(256 * v / 15 - 1) : 0;
        }
        break;
      case FT_PIXEL_MODE_BGRA:
        for (int x = 0; x < width; ++x) out[x] = in[4 * x + 3];
        break;
      default:
        std::copy_n(in, width, out);
        break;
    }
  }
  bool Draw(FT_UInt glyph, Image& image) const {
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT | FT_LOAD_COLOR) != 0) return false;
    const FT_GlyphSlot slot = face->glyph;
    if (italic && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      FT_Matrix shear{1 << 16, kItalicShear, 0, 1 << 16};
      FT_Outline_Transform(&slot->outline, &shear);
    }
    GlyphPtr bitmap_glyph;
    const FT_Bitmap* src = nullptr;
    if (slot->format == FT_GLYPH_FORMAT_BITMAP) {
      FT_Glyph raw = nullptr;
      if (FT_Get_Glyph(slot, &raw) != 0) return false;
      bitmap_glyph.reset(raw);
      if (FT_Glyph_To_Bitmap(&raw, FT_RENDER_MODE_NORMAL, nullptr, 1) != 0) return false;
      bitmap_glyph.release();
      bitmap_glyph.reset(raw);
      const auto* as_bitmap = reinterpret_cast<FT_BitmapGlyph>(raw);
      src = &as_bitmap->bitmap;
      image.left = as_bitmap->left;
      image.top = as_bitmap->top;
    } else {
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
      src = &slot->bitmap;
      image.left = slot->bitmap_left;
      image.top = slot->bitmap_top;
    }
    const int src_width = static_cast<int>(src->width);
    image.width = src_width;
    image.rows = src_width == 0 ? 0 : static_cast<int>(src->rows);
    if (bold) image.width += overhang;
    image.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.rows), 0);
    for (int y = 0; y < image.rows; ++y) {
      const unsigned char* in = src->buffer + static_cast<ptrdiff_t>(y) * src->pitch;
      uint8_t* out = image.pixels.data() + static_cast<size_t>(y) * image.width;
      CopyCoverage(src->pixel_mode, in, src_width, out);
    }
    if (bold) {
      for (int y = 0; y < image.rows; ++y) {
        SmearBold(image.pixels.data() + static_cast<size_t>(y) * image.width, image.width,
                  overhang);
      }
    }
    return true;
  }

  mutable std::unordered_map<FT_UInt, FT_Pos> advances_;
  mutable std::unordered_map<FT_UInt, Box> boxes_;
  mutable std::unordered_map<FT_UInt, Image> images_;
};

FontRasterizer::FontRasterizer(size_t cache_size)
    : impl_(std::make_unique<Impl>()), cache_size_(std::max<size_t>(cache_size, 1)) {}

FontRasterizer::~FontRasterizer() {
  // Fonts go before the library that opened them.
  fonts_.clear();
}

std::optional<ResolvedFace> FontRasterizer::Resolve(const std::string& name, bool bold,
                                                    bool italic) {
  const auto key = std::make_tuple(name, bold, italic);
  if (auto it = resolved_.find(key); it != resolved_.end()) return it->second;

  PatternPtr font;
  if (!name.empty()) font = impl_->Match(name, bold, italic, true);
  // The Mincho faces that stand in for a missing one, then looser choices.
  for (const char* family : {"IPAMincho", "Noto Serif CJK JP"}) {
    if (!font) font = impl_->Match(family, bold, italic, true);
  }
  if (!font) font = impl_->Match("serif", bold, italic, false);
  if (!font) font = impl_->AnyFont();

  std::optional<ResolvedFace> face;
  if (font) {
    face.emplace();
    FcChar8* file = nullptr;
    FcPatternGetString(font.get(), FC_FILE, 0, &file);
    face->file = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(font.get(), FC_INDEX, 0, &index) == FcResultMatch) {
      face->index = index & 0xFFFF;  // upper bits name a variable instance
    }
    FcChar8* family = nullptr;
    if (FcPatternGetString(font.get(), FC_FAMILY, 0, &family) == FcResultMatch) {
      face->family = reinterpret_cast<const char*>(family);
    }
    // The matched pattern already carries fontconfig's synthetic styles
    // (slant set to oblique, embolden); the file itself tells what it has.
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    if (!impl_->CachedStyle(file, face->index, weight, slant)) {
      int count = 0;
      PatternPtr own(FcFreeTypeQuery(file, static_cast<unsigned>(face->index), nullptr, &count));
      FcPattern* truth = own ? own.get() : font.get();
      FcPatternGetInteger(truth, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(truth, FC_SLANT, 0, &slant);
    }
    face->synth_bold = bold && weight < FC_WEIGHT_DEMIBOLD;
    face->synth_italic = italic && slant == FC_SLANT_ROMAN;
  }
  impl_->Release();
  resolved_.emplace(key, face);
  return face;
}

FontRasterizer::OpenFont* FontRasterizer::Open(const ResolvedFace& face, int32_t pixel_size) {
  FontKey key{face.file, face.index, pixel_size, face.synth_bold, face.synth_italic};
  if (auto it = fonts_.find(key); it != fonts_.end()) {
    lru_.remove(key);
    lru_.push_front(key);
    return it->second.get();
  }
  auto font = std::make_unique<OpenFont>();
  const FT_Error error = font->OpenFile(impl_->freetype.get(), face.file, face.index);
  if (error != 0 || font->face == nullptr) {
    font->face = nullptr;
    ReportOnce("cannot load the font " + face.file + " (FreeType error " + std::to_string(error) +
               ")");
    return nullptr;
  }
  font->PickCharmap();
  if (FT_IS_SFNT(font->face)) {
    font->layout.emplace(font->SfntTable("GSUB"), font->SfntTable("GPOS"), font->SfntTable("GDEF"));
  }
  if (!font->SetSize(pixel_size)) {
    ReportOnce("cannot size the font " + face.file);
    return nullptr;
  }
  // A file that carries a style needs none added, whatever fontconfig said.
  font->bold = face.synth_bold && (font->face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
  font->italic = face.synth_italic && (font->face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
  while (fonts_.size() >= cache_size_ && !lru_.empty()) {
    fonts_.erase(lru_.back());
    lru_.pop_back();
  }
  lru_.push_front(key);
  auto [it, inserted] = fonts_.emplace(key, std::move(font));
  return it->second.get();
}

void FontRasterizer::ReportOnce(const std::string& message) {
  if (reported_) return;
  reported_ = true;
  std::fprintf(stderr, "zolven-taris: %s; text is left out\n", message.c_str());
}

bool FontRasterizer::Render(const FontRequest& request, std::string_view text, CoverageMask& out) {
  if (impl_->freetype.get() == nullptr) {
    ReportOnce("cannot start the font renderer (FreeType error " +
               std::to_string(impl_->freetype.error()) + ")");
    return false;
  }
  text = text.substr(0, text.find('\0'));
  if (text.empty() || request.pixel_size <= 0) return false;
  const std::optional<ResolvedFace> face = Resolve(request.name, request.bold, request.italic);
  if (!face) {
    ReportOnce("no font is installed");
    return false;
  }
  OpenFont* font = Open(*face, request.pixel_size);
  if (font == nullptr) return false;

  // Pen positions in 26.6 along the baseline, and the box they ink; the
  // box starts as the line's own height.
  struct Placed {
    FT_UInt glyph;
    FT_Pos x, y;
  };
  std::vector<Placed> line;
  FT_Pos pen = 0;
  int min_x = 0, max_x = 0, min_y = 0, max_y = font->height;
  for (const ShapedGlyph& shaped : font->Shape(text)) {
    OpenFont::Box box{};
    if (!font->Measure(shaped.glyph, box)) return false;
    const Placed placed{shaped.glyph, pen + shaped.x_offset,
                        static_cast<FT_Pos>(font->ascent) * 64 - shaped.y_offset};
    line.push_back(placed);
    const int left = Floor26(placed.x) + box.left;
    const int top = Floor26(placed.y) - box.top;
    min_x = std::min(min_x, left);
    max_x = std::max(max_x, left + box.width);
    min_y = std::min(min_y, top);
    max_y = std::max(max_y, top + box.rows);
    pen += shaped.x_advance;
  }
  max_x = std::max(max_x, Floor26(pen));
  if (max_x - min_x == 0) return false;

  const int x_start = -min_x;
  const int y_start = -min_y;
  out.width = max_x - min_x;
  out.height = max_y - min_y;
  out.alpha.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
  for (const Placed& placed : line) {
    const OpenFont::Image* drawn = font->Drawn(placed.glyph);
    if (drawn == nullptr) return false;
    const OpenFont::Image& image = *drawn;
    const int gx = x_start + Floor26(placed.x) + image.left;
    const int gy = y_start + Floor26(placed.y) - image.top;
    // Overlapping glyphs combine their coverage bit by bit.
    const int x0 = std::max(0, -gx), x1 = std::min(image.width, out.width - gx);
    const int y0 = std::max(0, -gy), y1 = std::min(image.rows, out.height - gy);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* src = image.pixels.data() + static_cast<size_t>(y) * image.width;
      uint8_t* dest = out.alpha.data() + static_cast<size_t>(gy + y) * out.width + gx;
      for (int x = x0; x < x1; ++x) dest[x] |= src[x];
    }
  }
  return true;
}

}  // namespace zt
