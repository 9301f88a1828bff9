#include "tls/client_context.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <asio/ssl/host_name_verification.hpp>

#include "tls/tls.h"

namespace mail::tls {
namespace {

std::string openssl_error(std::string_view what) {
  unsigned long code = ERR_get_error();
  std::string out(what);
  if (code != 0) {
    char buf[256];
    ERR_error_string_n(code, buf, sizeof buf);
    out += ": ";
    out += buf;
  }
  ERR_clear_error();
  return out;
}

// Adds every certificate of a PEM text to the store; returns how many.
std::size_t add_pem(X509_STORE* store, std::string_view pem) {
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (bio == nullptr) return 0;
  std::size_t added = 0;
  while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
    // A duplicate is not an error; the store keeps one copy.
    if (X509_STORE_add_cert(store, cert) == 1) ++added;
    X509_free(cert);
  }
  ERR_clear_error();  // the loop ends on "no start line"
  BIO_free(bio);
  return added;
}

}  // namespace

std::expected<std::shared_ptr<asio::ssl::context>, std::string> make_client_context() {
  try {
    auto ctx = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_client);
    SSL_CTX* raw = ctx->native_handle();
    if (SSL_CTX_set_min_proto_version(raw, TLS1_2_VERSION) != 1)
      return std::unexpected(openssl_error("cannot require TLS 1.2"));
    ctx->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_compression);
    ctx->set_verify_mode(asio::ssl::verify_peer);

    // NB: a fresh store; the system's default paths are never loaded.
    X509_STORE* store = X509_STORE_new();
    if (store == nullptr) return std::unexpected(openssl_error("cannot create certificate store"));
    SSL_CTX_set_cert_store(raw, store);  // the context owns it now
    for (std::size_t i = 0; i < web_root_count(); ++i) add_pem(store, web_root(i));

    if (auto path = extra_ca_file()) {
      auto pem = trusted_pem();
      if (!pem) return std::unexpected(pem.error());
      std::string_view extra(*pem);
      extra.remove_prefix(web_roots_pem().size());
      if (add_pem(store, extra) == 0)
        return std::unexpected("no certificate in " + std::string(extra_ca_env) + " file " + *path);
    }
    return ctx;
  } catch (const std::exception& e) {
    return std::unexpected(std::string("TLS setup failed: ") + e.what());
  }
}

std::expected<void, std::string> prepare_client_stream(
    asio::ssl::stream<asio::ip::tcp::socket>& stream, const std::string& host) {
  SSL* ssl = stream.native_handle();
  if (!is_ip_literal(host)) {
    if (SSL_set_tlsext_host_name(ssl, host.c_str()) != 1)
      return std::unexpected(openssl_error("cannot set TLS server name"));
  }
  std::error_code ec;
  stream.set_verify_mode(asio::ssl::verify_peer, ec);
  if (!ec) stream.set_verify_callback(asio::ssl::host_name_verification(host), ec);
  if (ec) return std::unexpected("cannot set TLS host verification: " + ec.message());
  return {};
}

}  // namespace mail::tls
