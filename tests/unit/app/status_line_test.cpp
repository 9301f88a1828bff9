#include <gtest/gtest.h>

#include "app/status_line.h"

using zarn_ui::Tone;

TEST(StatusLine, ToneFollowsTheFirstMatchingRule) {
  std::pair<const char*, Tone> cases[] = {
      {"Send failed: timeout", Tone::Error},
      {"Couldn’t save account: disk full", Tone::Error},
      {"couldn't connect", Tone::Error},
      {"Sync error while offline", Tone::Error},  // error wins over offline and sync
      {"You’re offline · Showing downloaded mail", Tone::Warning},
      {"OAuth isn't available", Tone::Warning},
      {"Syncing…", Tone::Progress},
      {"Connecting to server", Tone::Progress},
      {"Opening message", Tone::Progress},
      {"Delivered (512 bytes)", Tone::Information},
  };
  for (auto [text, tone] : cases) EXPECT_EQ(mail::status_tone(text), tone) << text;
  EXPECT_EQ(mail::lowercase("Synced 3 Messages · Ünïcode"), "synced 3 messages · Ünïcode");
}
