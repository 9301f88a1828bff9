#include "zarn_ui/qt/qt_image_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstring>

namespace zarn_ui::qt {

std::expected<Image, std::string> decode_image(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return std::unexpected("the picture is empty");
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  QBuffer buffer;
  buffer.setData(data);
  if (!buffer.open(QIODevice::ReadOnly)) return std::unexpected("could not read the picture");
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  // The header's size is checked before any pixel memory is taken.
  const QSize announced = reader.size();
  if (announced.isValid() &&
      (announced.width() > Image::max_side || announced.height() > Image::max_side)) {
    return std::unexpected("picture size " + std::to_string(announced.width()) + "×" +
                           std::to_string(announced.height()) + " is too large");
  }
  QImage decoded = reader.read();
  if (decoded.isNull()) {
    return std::unexpected("not a readable picture: " + reader.errorString().toStdString());
  }
  decoded = decoded.convertToFormat(QImage::Format_RGBA8888);
  if (decoded.width() > Image::max_side || decoded.height() > Image::max_side) {
    return std::unexpected("picture is too large");
  }
  const std::size_t row = static_cast<std::size_t>(decoded.width()) * 4;
  std::vector<std::uint8_t> rgba(row * static_cast<std::size_t>(decoded.height()));
  for (int y = 0; y < decoded.height(); ++y) {
    std::memcpy(rgba.data() + row * static_cast<std::size_t>(y), decoded.constScanLine(y), row);
  }
  return Image::from_rgba(decoded.width(), decoded.height(), std::move(rgba));
}

ImageDecoder image_decoder() {
  return &decode_image;
}

}  // namespace zarn_ui::qt
