#include <gtest/gtest.h>

#include "zarn_ui/format.h"

TEST(FormatBytes, ReadableUnits) {
  std::pair<std::uint64_t, const char*> cases[] = {
      {0, "0 B"},          {1023, "1023 B"},          {1024, "1.0 KB"},
      {1536, "1.5 KB"},    {184320, "180 KB"},        {28716, "28 KB"},
      {1048576, "1.0 MB"}, {33554432, "32 MB"},       {5ull << 30, "5.0 GB"},
  };
  for (auto [n, want] : cases) EXPECT_EQ(zarn_ui::format::bytes(n), want) << n;
}
