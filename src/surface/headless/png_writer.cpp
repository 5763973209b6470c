// The PNG writer of the render mode, straight over zlib and the same on
// every platform, so a picture gives the same bytes everywhere: 24-bit RGB
// or 8-bit indexed with the realised palette, every row but the first
// predicted by the row above, one IDAT chunk.
#include <zlib.h>

#include <algorithm>
#include <cstring>
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

// Ends the chunk that starts at `start` (its length still to be filled in)
// with its length and checksum.
void CloseChunk(std::vector<uint8_t>& out, size_t start) {
  const size_t size = out.size() - start - 8;
  for (int i = 0; i < 4; ++i) out[start + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
  uLong crc = crc32(0L, Z_NULL, 0);
  for (size_t at = start + 4; at < out.size();) {
    const size_t n = std::min<size_t>(out.size() - at, size_t{1} << 30);
    crc = crc32(crc, out.data() + at, static_cast<uInt>(n));
    at += n;
  }
  Put32(out, static_cast<uint32_t>(crc));
}

void Chunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data, size_t size) {
  const size_t start = out.size();
  Put32(out, 0);
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  CloseChunk(out, start);
}

// zlib's checksum, taken in lanes that the compiler turns into vector
// sums: about twice as fast as zlib's byte after byte.
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
  constexpr uint32_t kMod = 65521;
  constexpr size_t kLanes = 32;
  // Few enough lane steps per block that no lane sum reaches 2^32.
  constexpr size_t kBlockSteps = 256;
  uint64_t a = adler & 0xFFFF, b = adler >> 16;
  while (size >= kLanes) {
    const size_t steps = std::min(size / kLanes, kBlockSteps);
    uint32_t sums[kLanes] = {}, earlier[kLanes] = {};
    for (size_t k = 0; k < steps; ++k, data += kLanes) {
      for (size_t j = 0; j < kLanes; ++j) earlier[j] += sums[j];
      for (size_t j = 0; j < kLanes; ++j) sums[j] += data[j];
    }
    // A byte counts into b once for itself and once for every byte after
    // it: kLanes times per later step, kLanes - j times within its own.
    uint64_t sum = 0, weighted = 0;
    for (size_t j = 0; j < kLanes; ++j) {
      sum += sums[j];
      weighted += kLanes * uint64_t{earlier[j]} + (kLanes - j) * uint64_t{sums[j]};
    }
    b = (b + a * (steps * kLanes) + weighted) % kMod;
    a = (a + sum) % kMod;
    size -= steps * kLanes;
  }
  for (size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % kMod;
    b = (b + a) % kMod;
  }
  return static_cast<uint32_t>((b << 16) | a);
}

// Smaller hash tables than zlib's default: a tenth fewer instructions for
// about 1 % more bytes.
constexpr int kMemLevel = 6;

// The IDAT chunk, whole: the filtered rows deflated raw at the fastest
// level in slices into a zlib stream, with the checksum taken here.
class IdatStream {
 public:
  IdatStream() {
    // Backdrops repeat their rows and a figure is thin lines over them, so
    // after the prediction from the row above most bytes are zeros, which
    // the fastest level already packs into long runs.
    ok_ = deflateInit2(&z_, 1, Z_DEFLATED, -15, kMemLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    // Length to come, type, then the zlib header: deflate, 32K window, fastest.
    out_ = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x78, 0x01};
  }
  ~IdatStream() {
    if (ok_) deflateEnd(&z_);
  }
  IdatStream(const IdatStream&) = delete;
  IdatStream& operator=(const IdatStream&) = delete;

  bool Add(const uint8_t* data, size_t size, bool last) {
    adler_ = Adler32(adler_, data, size);
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(size);
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    int result = Z_OK;
    while (ok_ && (z_.avail_in > 0 || (last && result != Z_STREAM_END))) {
      const size_t used = out_.size();
      const size_t room = std::max<size_t>(size / 4, 1 << 16);
      out_.resize(used + room);
      z_.next_out = out_.data() + used;
      z_.avail_out = static_cast<uInt>(room);
      result = deflate(&z_, flush);
      // What deflate left unwritten goes; erase, as it cannot grow the vector.
      const size_t left = std::min<size_t>(z_.avail_out, room);
      out_.erase(out_.end() - static_cast<ptrdiff_t>(left), out_.end());
      if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) ok_ = false;
    }
    if (ok_ && last) {
      Put32(out_, adler_);
      CloseChunk(out_, 0);
    }
    return ok_;
  }
  const std::vector<uint8_t>& Bytes() const { return out_; }

 private:
  z_stream z_{};
  bool ok_ = false;
  uint32_t adler_ = 1;
  std::vector<uint8_t> out_;
};

// The chunks before the image data, and the IDAT chunk.
bool Encode(const PngPicture& picture, std::vector<uint8_t>& head, IdatStream& idat) {
  const bool indexed = !picture.colormap.empty();
  const size_t row_bytes = static_cast<size_t>(picture.width) * (indexed ? 1 : 3);
  const size_t height = static_cast<size_t>(picture.height);
  // Slices of rows large enough that each call into zlib has work to do.
  const size_t slice_rows = std::max<size_t>(1, (size_t{256} << 10) / (row_bytes + 1));
  std::vector<uint8_t> slice(std::min(slice_rows, std::max<size_t>(height, 1)) * (row_bytes + 1));
  for (size_t y0 = 0; y0 < height; y0 += slice_rows) {
    const size_t rows = std::min(slice_rows, height - y0);
    uint8_t* out = slice.data();
    for (size_t y = y0; y < y0 + rows; ++y) {
      const uint8_t* row = picture.pixels.data() + y * row_bytes;
      if (y == 0) {
        *out++ = 0;  // none
        std::memcpy(out, row, row_bytes);
      } else {
        *out++ = 2;  // up
        const uint8_t* above = row - row_bytes;
        for (size_t i = 0; i < row_bytes; ++i) out[i] = static_cast<uint8_t>(row[i] - above[i]);
      }
      out += row_bytes;
    }
    if (!idat.Add(slice.data(), static_cast<size_t>(out - slice.data()), y0 + rows == height)) {
      return false;
    }
  }
  if (height == 0 && !idat.Add(nullptr, 0, true)) return false;

  head = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(header, static_cast<uint32_t>(picture.width));
  Put32(header, static_cast<uint32_t>(picture.height));
  header.insert(header.end(), {8, static_cast<uint8_t>(indexed ? 3 : 2), 0, 0, 0});
  Chunk(head, "IHDR", header.data(), header.size());
  const uint8_t perceptual = 0;
  Chunk(head, "sRGB", &perceptual, 1);
  if (indexed) Chunk(head, "PLTE", picture.colormap.data(), picture.colormap.size());
  return true;
}

}  // namespace

bool WritePng(const PngPicture& picture, const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  std::vector<uint8_t> head, tail;
  IdatStream idat;
  std::error_code ec;
  // A temporary name first, so no half-written image is left behind.
  const fs::path temp = fs::path(path + ".part");
  bool written = Encode(picture, head, idat);
  if (written) {
    Chunk(tail, "IEND", nullptr, 0);
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    const auto write = [&out](const std::vector<uint8_t>& part) {
      out.write(reinterpret_cast<const char*>(part.data()),
                static_cast<std::streamsize>(part.size()));
    };
    write(head);
    write(idat.Bytes());
    write(tail);
    out.close();
    written = static_cast<bool>(out);
  }
  if (written) fs::rename(temp, fs::path(path), ec);
  if (!written || ec) {
    fs::remove(temp, ec);
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace zt
