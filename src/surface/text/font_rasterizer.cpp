#include "surface/text/font_rasterizer.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>

namespace zt {
namespace {

// TTF_Init counts its users, so several owners may coexist.
class TtfLibrary {
 public:
  TtfLibrary() : ok_(TTF_Init() == 0) {}
  ~TtfLibrary() {
    if (ok_) TTF_Quit();
  }
  TtfLibrary(const TtfLibrary&) = delete;
  TtfLibrary& operator=(const TtfLibrary&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

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

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
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

}  // namespace

struct FontRasterizer::Impl {
  TtfLibrary ttf;
  FcConfig* config = nullptr;

  Impl() : config(FcInitLoadConfigAndFonts()) {}
  ~Impl() {
    if (config != nullptr) FcConfigDestroy(config);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // The best match for `family` with the asked styles; with `exact` only a
  // face that really carries that family name counts.
  PatternPtr Match(const std::string& family, bool bold, bool italic, bool exact) {
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

  // Any font file fontconfig knows, for a last resort.
  PatternPtr AnyFont() {
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

struct FontRasterizer::OpenFont {
  TTF_Font* font = nullptr;
  explicit OpenFont(TTF_Font* f) : font(f) {}
  ~OpenFont() {
    if (font != nullptr) TTF_CloseFont(font);
  }
  OpenFont(const OpenFont&) = delete;
  OpenFont& operator=(const OpenFont&) = delete;
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
    int count = 0;
    PatternPtr own(FcFreeTypeQuery(file, static_cast<unsigned>(face->index), nullptr, &count));
    FcPattern* truth = own ? own.get() : font.get();
    FcPatternGetInteger(truth, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(truth, FC_SLANT, 0, &slant);
    face->synth_bold = bold && weight < FC_WEIGHT_DEMIBOLD;
    face->synth_italic = italic && slant == FC_SLANT_ROMAN;
  }
  resolved_.emplace(key, face);
  return face;
}

FontRasterizer::OpenFont* FontRasterizer::Open(const ResolvedFace& face, int32_t pixel_size) {
  const int style =
      (face.synth_bold ? TTF_STYLE_BOLD : 0) | (face.synth_italic ? TTF_STYLE_ITALIC : 0);
  FontKey key{face.file, face.index, pixel_size, style};
  if (auto it = fonts_.find(key); it != fonts_.end()) {
    lru_.remove(key);
    lru_.push_front(key);
    return it->second.get();
  }
  TTF_Font* raw = TTF_OpenFontIndex(face.file.c_str(), pixel_size, face.index);
  if (raw == nullptr) {
    ReportOnce("cannot load the font " + face.file + " (" + TTF_GetError() + ")");
    return nullptr;
  }
  TTF_SetFontStyle(raw, style);
  while (fonts_.size() >= cache_size_ && !lru_.empty()) {
    fonts_.erase(lru_.back());
    lru_.pop_back();
  }
  lru_.push_front(key);
  auto [it, inserted] = fonts_.emplace(key, std::make_unique<OpenFont>(raw));
  return it->second.get();
}

void FontRasterizer::ReportOnce(const std::string& message) {
  if (reported_) return;
  reported_ = true;
  std::fprintf(stderr, "zolven-taris: %s; text is left out\n", message.c_str());
}

bool FontRasterizer::Render(const FontRequest& request, std::string_view text, CoverageMask& out) {
  if (!impl_->ttf.ok()) {
    ReportOnce(std::string("cannot start the font renderer (") + TTF_GetError() + ")");
    return false;
  }
  if (text.empty() || request.pixel_size <= 0) return false;
  const std::optional<ResolvedFace> face = Resolve(request.name, request.bold, request.italic);
  if (!face) {
    ReportOnce("no font is installed");
    return false;
  }
  OpenFont* font = Open(*face, request.pixel_size);
  if (font == nullptr) return false;
  const std::string utf8(text);
  std::unique_ptr<SDL_Surface, SurfaceDeleter> rendered(
      TTF_RenderUTF8_Blended(font->font, utf8.c_str(), SDL_Color{255, 255, 255, 255}));
  if (!rendered) return false;
  std::unique_ptr<SDL_Surface, SurfaceDeleter> argb;
  SDL_Surface* surface = rendered.get();
  if (surface->format->format != SDL_PIXELFORMAT_ARGB8888) {
    argb.reset(SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0));
    if (!argb) return false;
    surface = argb.get();
  }
  out.width = surface->w;
  out.height = surface->h;
  out.alpha.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  for (int y = 0; y < surface->h; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(
        static_cast<const uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(y) * surface->pitch);
    uint8_t* dest = out.alpha.data() + static_cast<size_t>(y) * out.width;
    for (int x = 0; x < surface->w; ++x) dest[x] = static_cast<uint8_t>(row[x] >> 24);
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  return true;
}

}  // namespace zt
