#include "zarn_ui/image.h"

namespace zarn_ui {

std::expected<Image, std::string> Image::from_rgba(int width, int height,
                                                   std::vector<std::uint8_t> rgba) {
  if (width < 1 || height < 1 || width > max_side || height > max_side) {
    return std::unexpected("picture size " + std::to_string(width) + "×" + std::to_string(height) +
                           " is outside 1…" + std::to_string(max_side));
  }
  const std::size_t expected =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  if (rgba.size() != expected) {
    return std::unexpected("picture data holds " + std::to_string(rgba.size()) + " bytes, not " +
                           std::to_string(expected));
  }
  Image image;
  image.data_ = std::make_shared<const Data>(Data{width, height, std::move(rgba)});
  return image;
}

}  // namespace zarn_ui
