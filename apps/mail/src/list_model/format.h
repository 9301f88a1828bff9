#pragma once
// Every text the list and the reader show about a message: sender label,
// initials, avatar address and colour, one-line preview, dates and counts.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "record/folder.h"
#include "record/record.h"

namespace mail {

// The sender display name when present and not empty, else the address.
[[nodiscard]] std::string sender_label(const MessageRecord& message);
// Up to two initials from the display name (or the address), split at white
// space, ".", "@" and "_", upper-cased with full Unicode case mapping; "?"
// when there is nothing to take them from.
[[nodiscard]] std::string sender_initials(const MessageRecord& message);
[[nodiscard]] std::string initials_of(std::string_view text);

// The avatar service's base URL (scheme and host).
inline constexpr std::string_view avatar_base_url = "https://www.gravatar.com";
// base + "/avatar/" + MD5 of the trimmed, ASCII-lower-cased address + "?s=96&d=404".
[[nodiscard]] std::string avatar_url(std::string_view address,
                                     std::string_view base_url = avatar_base_url);

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};
// Palette entries 0–5: six accent colours of the toolkit's current colour
// set, in the avatar widget's fixed order. Entries 6 and 7 are fixed.
using AccentColours = std::array<Rgba, 6>;
inline constexpr Rgba avatar_fixed_6{217, 70, 239, 255};
inline constexpr Rgba avatar_fixed_7{20, 184, 166, 255};

// h = seed; h = h * 31 + byte over the text (32-bit wrap); h mod 8.
[[nodiscard]] std::uint8_t avatar_palette_index(std::string_view text, std::uint32_t seed);
[[nodiscard]] Rgba avatar_colour(std::string_view text, std::uint32_t seed,
                                 const AccentColours& accents);

// The first non-blank line of the text body with its words joined by single
// spaces; empty when there is none.
[[nodiscard]] std::string preview_line(const MessageRecord& message);

// The list's date: "HH:MM" today, "Yesterday", a weekday within the week,
// else "Mon D" (also for dates in the future). UTC minutes throughout.
[[nodiscard]] std::string format_list_date(std::int64_t minute, std::int64_t now_minute);
// "Mar 5, 2026, 09:05" (UTC).
[[nodiscard]] std::string format_full_date(std::int64_t minute);

// Counts: the plural suffix is empty for exactly one, else "s".
[[nodiscard]] std::string_view plural_suffix(std::uint64_t count);
[[nodiscard]] std::string conversation_header_text(std::uint64_t count, FolderRole folder);
[[nodiscard]] std::string selected_count_text(std::uint64_t count);
[[nodiscard]] std::string attachment_count_text(std::uint64_t count);
// The row's count pill: only for conversations of two or more messages.
[[nodiscard]] std::optional<std::string> count_pill_text(std::uint64_t count);
[[nodiscard]] std::string conversation_description_text(std::uint64_t count);
[[nodiscard]] std::string archived_text(std::uint64_t count);
[[nodiscard]] std::string trashed_text(std::uint64_t count);
[[nodiscard]] std::string marked_read_text(std::uint64_t count);
[[nodiscard]] std::string marked_unread_text(std::uint64_t count);

}  // namespace mail
