#include "zarn_ui/image.h"

#include <gtest/gtest.h>

#include "zarn_ui/painter.h"

using namespace zarn_ui;

TEST(Image, RefusesPixelDataThatDoesNotMatchItsSize) {
  EXPECT_TRUE(Image::from_rgba(2, 1, std::vector<std::uint8_t>(8)).has_value());
  EXPECT_FALSE(Image::from_rgba(2, 1, std::vector<std::uint8_t>(7)).has_value());
  EXPECT_FALSE(Image::from_rgba(0, 1, {}).has_value());
  EXPECT_FALSE(
      Image::from_rgba(Image::max_side + 1, 1, std::vector<std::uint8_t>((Image::max_side + 1) * 4))
          .has_value());
  const Image a = *Image::from_rgba(1, 1, {1, 2, 3, 4});
  const Image copy = a;
  EXPECT_TRUE(copy.same_as(a));
  EXPECT_FALSE(Image::from_rgba(1, 1, {1, 2, 3, 4})->same_as(a));
}

TEST(PlaceImage, KeepsProportionsForCoverAndContain) {
  struct Case {
    Size picture;
    Rect dest;
    ImageFit fit;
    Rect source, target;
  };
  const std::vector<Case> cases = {
      // A wide picture in a square: cover takes its middle, contain letterboxes it.
      {{200, 100}, {0, 0, 50, 50}, ImageFit::Cover, {50, 0, 150, 100}, {0, 0, 50, 50}},
      {{200, 100}, {0, 0, 50, 50}, ImageFit::Contain, {0, 0, 200, 100}, {0, 12.5f, 50, 37.5f}},
      // A tall picture in a wide rectangle.
      {{100, 400}, {10, 10, 110, 60}, ImageFit::Cover, {0, 175, 100, 225}, {10, 10, 110, 60}},
      {{100, 400},
       {10, 10, 110, 60},
       ImageFit::Contain,
       {0, 0, 100, 400},
       {53.75f, 10, 66.25f, 60}},
      {{200, 100}, {0, 0, 50, 50}, ImageFit::Stretch, {0, 0, 200, 100}, {0, 0, 50, 50}},
      // Nothing to place.
      {{0, 100}, {0, 0, 50, 50}, ImageFit::Cover, {0, 0, 0, 100}, {}},
  };
  for (const Case& c : cases) {
    const ImagePlacement p = place_image(c.picture, c.dest, c.fit);
    EXPECT_EQ(p.source, c.source) << static_cast<int>(c.fit) << " " << c.picture.width;
    EXPECT_EQ(p.target, c.target) << static_cast<int>(c.fit) << " " << c.picture.width;
  }
}
