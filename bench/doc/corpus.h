#pragma once
// Deterministic generated mail for the benchmarks.

#include <cstddef>
#include <string>
#include <vector>

#include "doc/mail_document.h"

namespace bench_mail {

// Raw RFC 5322 messages of mixed shapes: plain quoted-printable, base64
// UTF-8, ISO-8859-1, HTML only, alternative inside mixed with a binary
// attachment, and a forwarded message.
std::vector<std::string> raw_corpus(std::size_t count);

// A document of `count` records, about a third of them replies (some across
// folders), mostly Inbox, with realistic subjects, senders and bodies.
mail::MailDocument generated_document(std::size_t count);

}  // namespace bench_mail
