#pragma once
// The engine's bounds on what a server may make it wait for and hold.

#include <chrono>
#include <cstddef>

#include "imap/framing.h"

namespace mail {

inline constexpr std::size_t mebibyte = 1024 * 1024;

// What one IMAP session holds on to.
struct SessionLimits {
  imap::FrameLimits frames{};
  // The line answering UID SEARCH: 10 million UIDs of up to ten digits.
  std::size_t search_line = 128 * mebibyte;
  // Everything one command may accumulate before its completion: the
  // responses' bytes and a fixed cost for each. Room for a batch of bodies
  // of the largest literal size (see body_batch in imap_ops.h).
  std::size_t command_bytes = 384 * mebibyte;
};

// Time limits and sizes of the live backend. A server that stops answering,
// or answers too slowly, fails the request with "connection timed out — the
// server didn't respond".
struct EngineLimits {
  std::chrono::milliseconds connect{30'000};   // resolve + TCP connect + TLS handshake
  std::chrono::milliseconds response{60'000};  // any single wait for server bytes
  // A whole request may take this long, and one second more for each
  // `min_rate` bytes received: a server has to keep up at least that rate.
  std::chrono::milliseconds request{120'000};
  std::size_t min_rate = 1024;  // bytes per second
  SessionLimits session{};
};

}  // namespace mail
