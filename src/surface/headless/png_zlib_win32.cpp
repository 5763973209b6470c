// The PNG writer of the Windows build, straight over zlib: the same
// pixels as libpng writes on Linux (24-bit RGB, or 8-bit indexed with the
// realised palette), no filtering, one IDAT chunk per image.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "surface/headless/headless.h"

namespace zt {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  out.insert(out.end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                         static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

void Chunk(std::vector<uint8_t>& out, const char (&type)[5], const std::vector<uint8_t>& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  Put32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WritePng(const PngPicture& picture, const std::string& path, std::string& error) {
  const int32_t width = picture.width, height = picture.height;
  const bool indexed = !picture.colormap.empty();
  const size_t row_bytes = static_cast<size_t>(width) * (indexed ? 1 : 3);
  std::vector<uint8_t> raw((row_bytes + 1) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = raw.data() + (row_bytes + 1) * static_cast<size_t>(y);
    *out++ = 0;  // filter: none
    std::copy_n(picture.pixels.data() + row_bytes * static_cast<size_t>(y), row_bytes, out);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) !=
      Z_OK) {
    error = "cannot write " + path;
    return false;
  }
  packed.resize(packed_size);

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(header, static_cast<uint32_t>(width));
  Put32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, static_cast<uint8_t>(indexed ? 3 : 2), 0, 0, 0});
  Chunk(file, "IHDR", header);
  if (indexed) Chunk(file, "PLTE", picture.colormap);
  Chunk(file, "IDAT", packed);
  Chunk(file, "IEND", {});

  // A temporary name first, so no half-written image is left behind.
  namespace fs = std::filesystem;
  const fs::path temp = fs::path(path + ".part");
  std::error_code ec;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    if (!out) ec = std::make_error_code(std::errc::io_error);
  }
  if (!ec) fs::rename(temp, fs::path(path), ec);
  if (ec) {
    fs::remove(temp, ec);
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace zt
