#include "zarn_ui/avatar.h"

#include <gtest/gtest.h>

#include <map>

#include "recording_painter.h"
#include "support/fake_text.h"

using namespace zarn_ui;

namespace {

class FakeSource : public ImageSource {
 public:
  std::optional<Image> get(std::string_view url) override {
    asked.emplace_back(url);
    auto it = pictures.find(std::string(url));
    if (it == pictures.end()) return std::nullopt;
    return it->second;
  }
  std::map<std::string, Image> pictures;
  std::vector<std::string> asked;
};

Image square(int side) {
  return *Image::from_rgba(side, side, std::vector<std::uint8_t>(side * side * 4, 200));
}

const Color violet{217, 70, 239, 255};

}  // namespace

TEST(Avatar, DrawsThePictureCoveringTheCircleWhenTheSourceHasIt) {
  FakeSource source;
  source.pictures["https://a.test/avatar/1"] = square(96);
  testing_support::RecordingPainter painter;
  draw_avatar(painter, {20, 30}, 13, {"https://a.test/avatar/1", "AB", violet}, &source);

  ASSERT_EQ(painter.pictures.size(), 1u);
  EXPECT_EQ(painter.pictures[0].dest, (Rect{7, 17, 33, 43}));
  EXPECT_EQ(painter.pictures[0].style.fit, ImageFit::Cover);
  EXPECT_EQ(painter.pictures[0].style.radius, 13);
  EXPECT_TRUE(painter.ellipses.empty());
  EXPECT_TRUE(painter.texts().empty());
}

TEST(Avatar, KeepsTheInitialsOnTheColourWithoutAPicture) {
  struct Case {
    const char* why;
    std::string url;
    std::string initials;
    std::string drawn;
    bool asks;
  };
  const std::vector<Case> cases = {
      {"not loaded yet", "https://a.test/avatar/2", "AB", "AB", true},
      {"no url", "", "ÉK", "ÉK", false},
      {"no initials", "https://a.test/avatar/2", "", "?", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FakeSource source;
    testing_support::RecordingPainter painter;
    draw_avatar(painter, {20, 30}, 13, {c.url, c.initials, violet}, &source);
    EXPECT_TRUE(painter.pictures.empty());
    ASSERT_EQ(painter.ellipses.size(), 1u);
    EXPECT_EQ(painter.ellipses[0].colour, violet);
    EXPECT_EQ(painter.ellipses[0].rect, (Rect{7, 17, 33, 43}));
    EXPECT_EQ(painter.texts(), std::vector<std::string>{c.drawn});
    EXPECT_EQ(source.asked.size(), c.asks ? 1u : 0u);
  }
  // A picture without pixels is no picture.
  testing_support::RecordingPainter painter;
  draw_avatar(painter, {20, 30}, 13, {"u", "AB", violet}, std::optional<Image>(Image{}));
  EXPECT_TRUE(painter.pictures.empty());
  EXPECT_EQ(painter.ellipses.size(), 1u);
}

TEST(Avatar, TheWidgetIsTheLargestCircleInItsBoundsAndPicksUpALatePicture) {
  auto source = std::make_shared<FakeSource>();
  Avatar avatar(source, {"https://a.test/avatar/3", "CD", violet});
  testing_support::FakeText text;
  LayoutContext layout{text};
  avatar.apply_layout({0, 0, 60, 40}, layout);
  EXPECT_EQ(avatar.hit_test({30, 20}), &avatar);
  EXPECT_EQ(avatar.hit_test({2, 2}), nullptr);  // the corner is outside the circle

  testing_support::RecordingPainter first;
  DrawContext ctx1{first};
  avatar.draw_with_presence(ctx1);
  EXPECT_EQ(first.texts(), std::vector<std::string>{"CD"});

  source->pictures["https://a.test/avatar/3"] = square(8);  // arrives between frames
  testing_support::RecordingPainter second;
  DrawContext ctx2{second};
  avatar.draw_with_presence(ctx2);
  ASSERT_EQ(second.pictures.size(), 1u);
  EXPECT_EQ(second.pictures[0].dest, (Rect{10, 0, 50, 40}));
}
