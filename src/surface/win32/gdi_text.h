#pragma once
// Captions through GDI: the face the program asks for when Windows has it
// ("ＭＳ 明朝" on Japanese Windows or with the Japanese supplemental fonts),
// else the first of a list of Mincho faces, else a serif face (Times New
// Roman, then whatever GDI picks for the roman family). Grey-scale
// antialiasing, bold and italic as GDI renders them.
#include <map>
#include <string>
#include <tuple>

#include "surface/text_rasterizer.h"
#include "surface/win32/gdi_handle.h"

namespace zt {

// Mincho faces tried in this order when the asked one is missing, then the
// serif ones.
inline constexpr const wchar_t* kMinchoFallbacks[] = {
    L"MS Mincho",    L"Yu Mincho",     L"\u6e38\u660e\u671d", L"MS PMincho",
    L"BIZ UDMincho", L"IPAMincho", L"Noto Serif JP", L"Times New Roman"};

class GdiTextRasterizer : public TextRasterizer {
 public:
  GdiTextRasterizer();
  bool Render(const FontRequest& font, std::string_view text, CoverageMask& out) override;
  // The face used for a requested name: itself when installed, else the
  // first installed fallback, else empty (GDI's roman family).
  std::wstring ResolveFace(const std::string& name);

 private:
  HFONT Font(const FontRequest& request);

  MemoryDc dc_;
  std::map<std::string, std::wstring> faces_;
  std::map<std::tuple<std::string, int32_t, bool, bool>, FontHandle> fonts_;
};

// Whether GDI knows a font family of this name.
bool FontFamilyInstalled(HDC dc, const std::wstring& family);

}  // namespace zt
