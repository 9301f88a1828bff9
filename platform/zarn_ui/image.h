#pragma once
// A decoded picture: straight (not premultiplied) 8-bit RGBA pixels, rows top
// to bottom without padding. Copies share the pixels, which never change.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarn_ui {

class Image {
 public:
  // The largest side a picture may have; larger ones are refused, so a tiny
  // compressed file cannot claim gigabytes of memory.
  static constexpr int max_side = 8192;

  Image() = default;
  // Fails unless `rgba` holds exactly width × height × 4 bytes and both sides
  // are between 1 and max_side.
  [[nodiscard]] static std::expected<Image, std::string> from_rgba(int width, int height,
                                                                   std::vector<std::uint8_t> rgba);

  int width() const { return data_ ? data_->width : 0; }
  int height() const { return data_ ? data_->height : 0; }
  bool empty() const { return !data_; }
  std::span<const std::uint8_t> rgba() const {
    return data_ ? std::span<const std::uint8_t>(data_->rgba) : std::span<const std::uint8_t>();
  }
  // Bytes of pixel memory held (shared between copies).
  std::size_t byte_size() const { return data_ ? data_->rgba.size() : 0; }
  // The same picture (not merely equal pixels); painters may cache by it.
  bool same_as(const Image& other) const { return data_ == other.data_; }
  const void* identity() const { return data_.get(); }

 private:
  struct Data {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
  };
  std::shared_ptr<const Data> data_;
};

// Where drawing code gets pictures by URL: the picture, or nothing yet.
// Never blocks. ImageStore is the toolkit's; tests give their own.
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual std::optional<Image> get(std::string_view url) = 0;
};

// Turns the bytes of an image file (PNG, JPEG, GIF, …) into a picture. Called
// on worker threads, so implementations must be safe to call concurrently.
using ImageDecoder =
    std::function<std::expected<Image, std::string>(std::span<const std::uint8_t>)>;

}  // namespace zarn_ui
