#include "imap/framing.h"

#include <gtest/gtest.h>

using namespace mail::imap;

namespace {
std::vector<std::string> frames_of(std::string_view bytes, std::size_t chunk,
                                   FrameLimits limits = {}) {
  FrameReader r(limits);
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
