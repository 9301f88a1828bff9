#pragma once
// Pieces of the live backend that tests and tools reach directly: the
// TLS-over-TCP connector with time limits, run on a caller's io_context.

#include <asio/any_io_executor.hpp>
#include <asio/ssl/context.hpp>
#include <memory>

#include "engine/engine.h"
#include "engine/transport.h"

namespace mail {

// Opens TLS connections on `executor` (a strand is used per connection),
// verifying the server against `tls`. Resolving, connecting and the TLS
// handshake are bounded by limits.connect; each read and write by
// limits.response.
[[nodiscard]] std::unique_ptr<Connector> make_tls_connector(asio::any_io_executor executor,
                                                            std::shared_ptr<asio::ssl::context> tls,
                                                            EngineLimits limits);

// The text of every time-limit error.
inline constexpr std::string_view timed_out_text =
    "connection timed out — the server didn't respond";

}  // namespace mail
