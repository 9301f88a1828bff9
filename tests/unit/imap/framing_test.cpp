#include "imap/framing.h"

#include <gtest/gtest.h>

using namespace mail::imap;

namespace {
// Every frame of `bytes` fed `chunk` bytes at a time; "ERROR: …" ends it.
// `long_line` lets lines beginning "* SEARCH" grow to that many bytes.
std::vector<std::string> frames_of(std::string_view bytes, std::size_t chunk,
                                   FrameLimits limits = {}, std::size_t long_line = 0) {
  FrameReader r(limits);
  if (long_line > 0) r.allow_long_line("* SEARCH", long_line);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < bytes.size(); i += chunk) {
    r.feed(bytes.substr(i, chunk));
    for (;;) {
      auto f = r.next();
      if (!f) return {"ERROR: " + f.error()};
      if (!*f) break;
      out.push_back(**f);
    }
  }
  return out;
}
}  // namespace

TEST(FrameReader, SplitsLinesAndKeepsLiteralsWholeWhateverTheChunking) {
  const std::string stream =
      "* OK ready\r\n"
      "* 1 FETCH (UID 5 BODY[] {12}\r\nab\r\n}{3}\r\nxyz FLAGS ())\r\n"
      "* 2 FETCH (BODY[] {0}\r\n)\r\n"
      "a1 OK done\r\n";
  const std::vector<std::string> expected = {
      "* OK ready",
      "* 1 FETCH (UID 5 BODY[] {12}\r\nab\r\n}{3}\r\nxyz FLAGS ())",
      "* 2 FETCH (BODY[] {0}\r\n)",
      "a1 OK done",
  };
  for (std::size_t chunk : {1u, 2u, 3u, 7u, 1000u})
    EXPECT_EQ(frames_of(stream, chunk), expected) << chunk;
}

TEST(FrameReader, WaitsForMissingBytes) {
  FrameReader r;
  r.feed("* 1 FETCH (BODY[] {5}\r\nab");
  auto f = r.next();
  ASSERT_TRUE(f);
  EXPECT_FALSE(*f);
  r.feed("cde)\r");
  f = r.next();
  ASSERT_TRUE(f);
  EXPECT_FALSE(*f);
  r.feed("\n");
  f = r.next();
  ASSERT_TRUE(f && *f);
  EXPECT_EQ(**f, "* 1 FETCH (BODY[] {5}\r\nabcde)");
  EXPECT_EQ(r.buffered(), 0u);
}

TEST(FrameReader, BoundsWhatItBuffers) {
  FrameLimits small{.max_line = 16, .max_literal = 8, .max_response = 40};
  EXPECT_EQ(frames_of(std::string(17, 'x'), 100, small).front(),
            "ERROR: server response line too long");
  EXPECT_EQ(frames_of("* 1 FETCH {9}\r\n", 100, small).front(), "ERROR: server literal too large");
  EXPECT_EQ(frames_of("* {8}\r\n12345678 {8}\r\n12345678 {8}\r\n12345678", 100, small).front(),
            "ERROR: server response too large");
  // A literal count too long to be a number is just text, still bounded by the line limit.
  EXPECT_EQ(frames_of("* {99999999999999999999}\r\n", 100).front(), "* {99999999999999999999}");
}

namespace {
std::string search_line(int count) {
  std::string line = "* SEARCH";
  for (int uid = 1; uid <= count; ++uid) line += " " + std::to_string(uid);
  return line;
}
}  // namespace

TEST(FrameReader, LetsOnlyTheAllowedKindOfLineGrowLong) {
  const FrameLimits small{.max_line = 16, .max_literal = 8, .max_response = 40};
  const std::string uids = search_line(60);  // 179 bytes
  const std::string lower = "* search" + uids.substr(8);
  const std::string too_long = "server response line too long";
  struct Case {
    std::string name, stream;
    std::size_t long_line;
    std::string first;  // the first frame, or the error
  };
  const std::vector<Case> cases = {
      {"search answer, allowed", uids + "\r\n", 200, uids},
      {"in any letter case", lower + "\r\n", 200, lower},
      {"search answer, not allowed", uids + "\r\n", 0, "ERROR: " + too_long},
      {"longer than allowed", uids + "\r\n", 100, "ERROR: " + too_long},
      {"longer than allowed, no line end yet", uids, 100, "ERROR: " + too_long},
      {"another line", "* OK " + std::string(100, 'x') + "\r\n", 200, "ERROR: " + too_long},
      {"the words later in a line", "* OK * SEARCH" + std::string(100, 'x') + "\r\n", 200,
       "ERROR: " + too_long},
      {"after a literal", "* {3}\r\nabc" + uids + "\r\n", 200, "ERROR: " + too_long},
  };
  for (const auto& c : cases)
    for (std::size_t chunk : {1u, 5u, 1000u}) {
      auto frames = frames_of(c.stream, chunk, small, c.long_line);
      ASSERT_FALSE(frames.empty()) << c.name;
      EXPECT_EQ(frames.front(), c.first) << c.name << ", chunk " << chunk;
    }

  // The allowance ends when it is cleared.
  FrameReader r(small);
  r.allow_long_line("* SEARCH", 200);
  r.feed(uids + "\r\n");
  auto accepted = r.next();
  ASSERT_TRUE(accepted && *accepted);
  EXPECT_EQ(**accepted, uids);
  r.clear_long_line();
  r.feed(uids + "\r\n");
  auto refused = r.next();
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), too_long);
}

TEST(FrameReader, HandsOverALongLineAndKeepsWhatFollowsIt) {
  const std::string uids = search_line(20'000);  // 109 KiB: beyond the ordinary 64 KiB
  const std::string stream = "* OK ready\r\n" + uids + "\r\n* 3 EXISTS\r\na1 OK done\r\n";
  const std::vector<std::string> expected = {"* OK ready", uids, "* 3 EXISTS", "a1 OK done"};
  for (std::size_t chunk : {std::size_t{3}, std::size_t{4096}, std::size_t{65536}, stream.size()})
    EXPECT_EQ(frames_of(stream, chunk, {}, 1024 * 1024), expected) << chunk;
  EXPECT_EQ(frames_of(stream, 4096).back(), "ERROR: server response line too long");
}
