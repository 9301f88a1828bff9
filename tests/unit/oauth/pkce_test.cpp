#include "oauth/pkce.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace mail {
namespace {

TEST(Base64Url, UsesTheUrlAlphabetWithoutPadding) {
  EXPECT_EQ(base64url(std::string_view("")), "");
  EXPECT_EQ(base64url(std::string_view("f")), "Zg");
  EXPECT_EQ(base64url(std::string_view("fo")), "Zm8");
  EXPECT_EQ(base64url(std::string_view("foo")), "Zm9v");
  EXPECT_EQ(base64url(std::string_view("foob")), "Zm9vYg");
  EXPECT_EQ(base64url(std::string_view("\xfb\xff\xbf", 3)), "-_-_");
  EXPECT_EQ(base64url(std::string_view("\xfb\xff", 2)), "-_8");
}

TEST(Sha256, MatchesTheStandardsExample) {
  // FIPS 180-4 example "abc".
  const auto d = sha256("abc");
  std::string hex;
  for (auto b : d) {
    static constexpr char digits[] = "0123456789abcdef";
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  EXPECT_EQ(hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

std::string independent_challenge(const std::string& verifier) {
  // Computed by another implementation: Python's hashlib and base64.
  const std::string cmd =
      "python3 -c \"import "
      "sys,hashlib,base64;print(base64.urlsafe_b64encode(hashlib.sha256(sys.argv[1].encode())"
      ".digest()).rstrip(b'=').decode())\" " +
      verifier;
  FILE* pipe = ::popen(cmd.c_str(), "r");
  if (!pipe) return {};
  char buf[128] = {};
  const size_t n = std::fread(buf, 1, sizeof buf - 1, pipe);
  ::pclose(pipe);
  std::string out(buf, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

TEST(Pkce, PairAndStateHaveTheirLengthsAlphabetAndChallenge) {
  std::set<std::string> seen;
  for (int i = 0; i < 3; ++i) {
    const auto pair = pkce_pair();
    const auto state = oauth_state();
    EXPECT_EQ(pair.verifier.size(), 43u);
    EXPECT_EQ(pair.challenge.size(), 43u);
    EXPECT_EQ(state.size(), 22u);
    for (const auto& text : {pair.verifier, pair.challenge, state}) {
      EXPECT_EQ(text.find_first_of("=+/"), std::string::npos) << text;
    }
    EXPECT_EQ(pair.challenge, independent_challenge(pair.verifier));
    EXPECT_TRUE(seen.insert(pair.verifier).second);
    EXPECT_TRUE(seen.insert(state).second);
  }
}

TEST(Pkce, VerifierIsTwoVersion4Uuids) {
  const auto verifier = pkce_pair().verifier;
  // Decode the first and third characters that carry byte 6 and byte 22.
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '-' ? 62 : 63;
  };
  // Byte 6 opens group 2 (chars 8..11); byte 22 is the middle byte of group 7 (chars 28..31).
  const int byte6 = (value(verifier[8]) << 2) | (value(verifier[9]) >> 4);
  const int byte22 = ((value(verifier[29]) & 15) << 4) | (value(verifier[30]) >> 2);
  EXPECT_EQ(byte6 >> 4, 4);
  EXPECT_EQ(byte22 >> 4, 4);
}

}  // namespace
}  // namespace mail
