#include "smtp_server.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#ifndef ZARN_SOURCE_DIR
#error "ZARN_SOURCE_DIR must name the source tree"
#endif

namespace testsupport {
namespace {

std::string b64decode(const std::string& in) {
  static const std::string chars =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned val = 0;
  int bits = -8;
  for (char c : in) {
    const auto pos = chars.find(c);
    if (pos == std::string::npos) continue;
    val = (val << 6) | static_cast<unsigned>(pos);
    bits += 6;
    if (bits >= 0) {
      out.push_back(static_cast<char>((val >> bits) & 0xFF));
      bits -= 8;
    }
  }
  return out;
}

}  // namespace

std::expected<std::unique_ptr<SmtpServer>, std::string> SmtpServer::start(
    SmtpServerOptions options) {
  std::vector<std::string> args = {std::string(ZARN_SOURCE_DIR) + "/tests/servers/smtp_server.py",
                                   "--auth",
                                   options.auth,
                                   "--user",
                                   options.user,
                                   "--password",
                                   options.password,
                                   "--token",
                                   options.token,
                                   "--implicit-port",
                                   std::to_string(options.implicit_port),
                                   "--starttls-port",
                                   std::to_string(options.starttls_port)};
  if (!options.starttls) args.push_back("--no-starttls");
  if (options.no_implicit) args.push_back("--no-implicit");
  if (options.no_starttls_port) args.push_back("--no-starttls-port");
  if (!options.capture) args.push_back("--no-capture");

  auto process = ServerProcess::start_python(std::move(args));
  if (!process) return std::unexpected(process.error());
  auto server = std::unique_ptr<SmtpServer>(new SmtpServer());
  server->options_ = std::move(options);
  try {
    const auto& j = process->info();
    if (!j.at("implicit_port").is_null())
      server->implicit_port_ = j.at("implicit_port").get<std::uint16_t>();
    if (!j.at("starttls_port").is_null())
      server->starttls_port_ = j.at("starttls_port").get<std::uint16_t>();
    server->ca_file_ = j.at("ca_file").get<std::string>();
    server->capture_dir_ = j.at("capture_dir").get<std::string>();
  } catch (const std::exception&) {
    return std::unexpected("smtp test server did not start (" + process->info().dump() + ")");
  }
  server->process_ = std::move(*process);
  return server;
}

std::vector<CapturedMessage> SmtpServer::messages() const {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(capture_dir_, ec)) {
    if (e.path().extension() == ".json") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<CapturedMessage> out;
  for (const auto& f : files) {
    std::ifstream in(f);
    auto j = nlohmann::json::parse(in, nullptr, false);
    if (j.is_discarded()) continue;
    CapturedMessage m;
    m.mail_from = j.value("mail_from", "");
    m.rcpt_tos = j.value("rcpt_tos", std::vector<std::string>{});
    m.data = b64decode(j.value("data_b64", ""));
    if (j.contains("auth") && j["auth"].is_string()) m.auth = j["auth"];
    if (j.contains("mechanism") && j["mechanism"].is_string()) m.mechanism = j["mechanism"];
    out.push_back(std::move(m));
  }
  return out;
}

bool combine_pem(const std::vector<std::string>& files, const std::string& out) {
  std::ofstream o(out, std::ios::binary | std::ios::trunc);
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    if (!in) return false;
    o << in.rdbuf() << "\n";
  }
  return static_cast<bool>(o);
}

}  // namespace testsupport
