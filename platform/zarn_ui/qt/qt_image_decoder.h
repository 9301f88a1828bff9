#pragma once
// Picture decoding with Qt's image readers: PNG built in; JPEG, GIF, WebP and
// others where Qt's format plugins are installed. Safe on any thread.

#include <cstdint>
#include <expected>
#include <span>
#include <string>

#include "zarn_ui/image.h"

namespace zarn_ui::qt {

[[nodiscard]] std::expected<Image, std::string> decode_image(std::span<const std::uint8_t> bytes);

// decode_image as the decoder an ImageStore takes.
ImageDecoder image_decoder();

}  // namespace zarn_ui::qt
