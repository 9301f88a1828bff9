#pragma once
// What the engine's transcript tests share: running a conversation to its
// end on a private io_context, and the account and credential it logs in with.

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <exception>
#include <optional>

#include "state/account_settings.h"
#include "state/credential.h"

namespace enginetest {

template <typename T>
T run_sync(asio::awaitable<T> work) {
  asio::io_context io;
  std::optional<T> out;
  asio::co_spawn(io, std::move(work), [&](std::exception_ptr e, T value) {
    if (e) std::rethrow_exception(e);
    out.emplace(std::move(value));
  });
  io.run();
  return std::move(*out);
}

inline mail::AccountSettings account() {
  mail::AccountSettings a;
  a.email = "bob@example.com";
  a.imap_host = "imap.example.com";
  a.imap_port = 993;
  a.username = "bob";
  a.password = "pw";
  return a;
}

inline const mail::Credential password{mail::Credential::Password{"bob", "pw"}};

}  // namespace enginetest
