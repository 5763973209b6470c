#pragma once
// Text through fontconfig and FreeType. Works without any video: the
// headless binding uses it as well as the real window. The layout and the
// synthetic styles are those SDL2_ttf 2.20 gave, so captions keep every
// pixel they had when text went through that library.
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "surface/text_rasterizer.h"

namespace zt {

// A face file chosen for a request, and the styles the renderer must add
// because the file lacks them.
struct ResolvedFace {
  std::string file;
  int32_t index = 0;  // face inside a collection
  std::string family;
  bool synth_bold = false;
  bool synth_italic = false;
};

class FontRasterizer : public TextRasterizer {
 public:
  // `cache_size` opened fonts are kept, least recently used dropped first.
  explicit FontRasterizer(size_t cache_size = 8);
  ~FontRasterizer() override;
  FontRasterizer(const FontRasterizer&) = delete;
  FontRasterizer& operator=(const FontRasterizer&) = delete;

  bool Render(const FontRequest& font, std::string_view text, CoverageMask& out) override;

  // The face a request ends up with: the named face when it exists, else a
  // Mincho face (IPAMincho, then Noto Serif CJK JP), else any serif face,
  // else any face at all. Nothing when there are no fonts.
  std::optional<ResolvedFace> Resolve(const std::string& name, bool bold, bool italic);

  size_t OpenFontCount() const { return fonts_.size(); }

 private:
  struct Impl;
  struct OpenFont;
  using FontKey = std::tuple<std::string, int32_t, int32_t, bool,
                             bool>;  // file, index, size, synth bold, synth italic

  OpenFont* Open(const ResolvedFace& face, int32_t pixel_size);
  void ReportOnce(const std::string& message);

  std::unique_ptr<Impl> impl_;
  size_t cache_size_;
  std::list<FontKey> lru_;  // most recent first
  std::map<FontKey, std::unique_ptr<OpenFont>> fonts_;
  std::map<std::tuple<std::string, bool, bool>, std::optional<ResolvedFace>> resolved_;
  bool reported_ = false;
};

}  // namespace zt
