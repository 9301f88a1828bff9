#pragma once
// Checks every holder of a draft applies to its attachments and invitation.

#include <string_view>
#include <vector>

#include "draft/draft.h"

namespace mail {

// Content identity, file name, content type and size all within the limits.
[[nodiscard]] bool metadata_valid(const DraftAttachment& attachment);

// The accepted attachments, order kept: at most 16, valid metadata, at most
// 128 MiB in total, no repeated content identity. Others are dropped.
[[nodiscard]] std::vector<DraftAttachment> validate_list(
    const std::vector<DraftAttachment>& attachments);

// A bounded METHOD:REQUEST VCALENDAR text (size, NUL, first line,
// METHOD:REQUEST line, exactly one BEGIN:VEVENT, last line).
[[nodiscard]] bool is_bounded_invitation(std::string_view text);

inline constexpr const char* unbounded_invitation_message =
    "calendar invitation is not a bounded METHOD:REQUEST VCALENDAR";

}  // namespace mail
