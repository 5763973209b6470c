#include "surface/win32/gdi_text.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace zt {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  }
  return out;
}

namespace {

int CALLBACK OnFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

}  // namespace

bool FontFamilyInstalled(HDC dc, const std::wstring& family) {
  if (family.empty() || family.size() >= LF_FACESIZE) return false;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  std::copy(family.begin(), family.end(), query.lfFaceName);
  bool found = false;
  EnumFontFamiliesExW(dc, &query, OnFamily, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

GdiTextRasterizer::GdiTextRasterizer() : dc_(CreateCompatibleDC(nullptr)) {}

std::wstring GdiTextRasterizer::ResolveFace(const std::string& name) {
  auto it = faces_.find(name);
  if (it != faces_.end()) return it->second;
  std::wstring face;
  if (dc_) {
    if (const std::wstring asked = Widen(name); FontFamilyInstalled(dc_.get(), asked)) {
      face = asked;
    } else {
      for (const wchar_t* fallback : kMinchoFallbacks) {
        if (FontFamilyInstalled(dc_.get(), fallback)) {
          face = fallback;
          break;
        }
      }
    }
  }
  faces_.emplace(name, face);
  return face;
}

HFONT GdiTextRasterizer::Font(const FontRequest& request) {
  const auto key = std::make_tuple(request.name, request.pixel_size, request.bold, request.italic);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second.get();
  LOGFONTW lf{};
  lf.lfHeight = -request.pixel_size;  // the em, as the request means it
  lf.lfWeight = request.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = request.italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;  // grey levels, one coverage per pixel
  lf.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
  const std::wstring face = ResolveFace(request.name);
  std::copy_n(face.begin(), std::min<size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
  if (fonts_.size() > 16) fonts_.clear();
  FontHandle font(CreateFontIndirectW(&lf));
  HFONT h = font.get();
  if (h != nullptr) fonts_.emplace(key, std::move(font));
  return h;
}

bool GdiTextRasterizer::Render(const FontRequest& request, std::string_view text,
                               CoverageMask& out) {
  if (!dc_ || request.pixel_size <= 0) return false;
  const std::wstring wide = Widen(text);
  if (wide.empty()) return false;
  HFONT font = Font(request);
  if (font == nullptr) return false;
  Selected with_font(dc_.get(), font);
  SIZE extent{};
  TEXTMETRICW metrics{};
  if (!GetTextExtentPoint32W(dc_.get(), wide.c_str(), static_cast<int>(wide.size()), &extent) ||
      !GetTextMetricsW(dc_.get(), &metrics)) {
    return false;
  }
  // Italic and bold glyphs lean past their advance; leave them room.
  const int32_t width = extent.cx + metrics.tmOverhang + metrics.tmHeight / 3 + 2;
  const int32_t height = std::max<int32_t>(metrics.tmHeight, 1);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  BitmapHandle bitmap(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return false;
  {
    Selected with_bitmap(dc_.get(), bitmap.get());
    std::memset(bits, 0, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    SetBkMode(dc_.get(), TRANSPARENT);
    SetTextColor(dc_.get(), RGB(255, 255, 255));
    SetTextAlign(dc_.get(), TA_TOP | TA_LEFT | TA_NOUPDATECP);
    TextOutW(dc_.get(), 0, 0, wide.c_str(), static_cast<int>(wide.size()));
    GdiFlush();
  }
  out.width = width;
  out.height = height;
  out.alpha.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < out.alpha.size(); ++i) {
    // White text on black: every channel holds the coverage; the brightest
    // one is kept should a driver tint the edges.
    const uint32_t p = pixels[i];
    out.alpha[i] = static_cast<uint8_t>(std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF}));
  }
  return true;
}

}  // namespace zt
