#pragma once
// Runs one engine conversation to its end on the test's io_context.

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <exception>
#include <optional>

template <typename T>
T run_sync(asio::io_context& io, asio::awaitable<T> work) {
  std::optional<T> out;
  asio::co_spawn(io, std::move(work), [&](std::exception_ptr e, T value) {
    if (e) std::rethrow_exception(e);
    out.emplace(std::move(value));
  });
  io.restart();
  io.run();
  return std::move(*out);
}
