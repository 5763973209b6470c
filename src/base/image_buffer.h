#pragma once
// Storage for the image-sized buffers (the depth grid, the window layer):
// zeroed, untouched until used, and, where the system allows, in large pages,
// which spare a full-screen image thousands of page faults and TLB misses.
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace zt {

// Zeroed memory for `bytes`, or nullptr. Defined per platform.
void* AllocateImageMemory(size_t bytes);
void FreeImageMemory(void* memory, size_t bytes);

template <typename T>
class ImageBuffer {
  static_assert(std::is_trivial_v<T>, "zero bytes must be a zero value");

 public:
  ImageBuffer() = default;
  // `count` zero values; throws std::bad_alloc when there is no memory.
  explicit ImageBuffer(size_t count)
      : memory_(static_cast<T*>(AllocateImageMemory(count * sizeof(T))),
                Release{count * sizeof(T)}),
        size_(count) {
    if (count > 0 && !memory_) throw std::bad_alloc();
  }
  ImageBuffer(const ImageBuffer& other) : ImageBuffer(other.size_) {
    if (size_ > 0) std::memcpy(data(), other.data(), size_ * sizeof(T));
  }
  ImageBuffer& operator=(const ImageBuffer& other) {
    if (this != &other) *this = ImageBuffer(other);
    return *this;
  }
  ImageBuffer(ImageBuffer&& other) noexcept
      : memory_(std::move(other.memory_)), size_(std::exchange(other.size_, 0)) {}
  ImageBuffer& operator=(ImageBuffer&& other) noexcept {
    memory_ = std::move(other.memory_);
    size_ = std::exchange(other.size_, 0);
    return *this;
  }

  T* data() { return memory_.get(); }
  const T* data() const { return memory_.get(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) { return memory_.get()[i]; }
  const T& operator[](size_t i) const { return memory_.get()[i]; }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  operator std::span<T>() { return {data(), size_}; }
  operator std::span<const T>() const { return {data(), size_}; }

 private:
  struct Release {
    size_t bytes = 0;
    void operator()(T* memory) const { FreeImageMemory(memory, bytes); }
  };
  std::unique_ptr<T, Release> memory_;
  size_t size_ = 0;
};

}  // namespace zt
