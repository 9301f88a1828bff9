#include "text_codec/sasl.h"

#include "text_codec/base64.h"

namespace text_codec {

std::string xoauth2_initial_response(std::string_view login, std::string_view token) {
  std::string plain = "user=";
  plain.append(login);
  plain.push_back('\x01');
  plain.append("auth=Bearer ");
  plain.append(token);
  plain.append("\x01\x01");
  return base64_encode(plain);
}

std::string plain_initial_response(std::string_view login, std::string_view password) {
  std::string plain(1, '\0');
  plain.append(login);
  plain.push_back('\0');
  plain.append(password);
  return base64_encode(plain);
}

}  // namespace text_codec
