#pragma once
// Assembly of the outgoing Internet message (RFC 5322 with MIME) from a draft
// and the sender, written by GMime.
//
// Header block, in this order and nothing else: From, Subject, To (when any),
// Cc (when any), Message-ID, Date, MIME-Version. Bcc never appears; its
// addresses reach their recipients through the SMTP envelope alone. Body:
// text/plain, or multipart/alternative (plain, html), inside multipart/mixed
// when there are attachments or an invitation.

#include <ctime>
#include <expected>
#include <string>

#include "draft/draft.h"
#include "qdoc/blobstore.h"
#include "record/record.h"

namespace mail {

// The message bytes (CRLF line ends, 7-bit clean), or the first
// attachment's load error / the writer's error text.
[[nodiscard]] std::expected<std::string, std::string> build_message(
    const Address& sender, const DraftData& draft,
    const qdoc::BlobStore& store = qdoc::BlobStore::user());

// "Fri, 1 Jan 2027 09:05:03 +0000" for a UTC time.
[[nodiscard]] std::string format_message_date(std::time_t t);

// "<unique token>@<host name or localhost>" without the angle brackets.
[[nodiscard]] std::string new_message_id();

}  // namespace mail
