#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "text_codec/ascii.h"
#include "text_codec/base64.h"
#include "text_codec/sasl.h"

namespace {

TEST(Ascii, TrimsAsciiWhiteSpaceOnlyAtTheEnds) {
  EXPECT_EQ(text_codec::trim(" \t\r\n\f\va b\v\f\n\r\t "), "a b");
  EXPECT_EQ(text_codec::trim("   "), "");
  EXPECT_EQ(text_codec::trim(""), "");
  // A no-break space (U+00A0) is not ASCII white space and stays.
  EXPECT_EQ(text_codec::trim("\xC2\xA0x "), "\xC2\xA0x");
}

TEST(Ascii, CaseFoldsOnlyAsciiLetters) {
  EXPECT_EQ(text_codec::to_lower("MiXeD-Case_09 ÄÖ"), "mixed-case_09 ÄÖ");
  EXPECT_TRUE(text_codec::iequals("Message-ID", "MESSAGE-id"));
  EXPECT_FALSE(text_codec::iequals("Message-ID", "Message-I"));
  EXPECT_FALSE(text_codec::iequals("[", "{"));  // 0x5B and 0x7B differ by the case bit
  EXPECT_FALSE(text_codec::iequals("Ä", "ä"));
}

TEST(Base64, MatchesTheStandardVectorsInBothAlphabets) {
  struct Case {
    std::string_view in, standard, url;
  };
  // RFC 4648 section 10, plus bytes that differ between the alphabets.
  for (const Case& c : std::vector<Case>{{"", "", ""},
                                         {"f", "Zg==", "Zg"},
                                         {"fo", "Zm8=", "Zm8"},
                                         {"foo", "Zm9v", "Zm9v"},
                                         {"foob", "Zm9vYg==", "Zm9vYg"},
                                         {"fooba", "Zm9vYmE=", "Zm9vYmE"},
                                         {"foobar", "Zm9vYmFy", "Zm9vYmFy"},
                                         {"\xfb\xff\xbf", "+/+/", "-_-_"}}) {
    EXPECT_EQ(text_codec::base64_encode(c.in), c.standard) << c.in;
    EXPECT_EQ(text_codec::base64url_encode(c.in), c.url) << c.in;
  }
  const std::vector<std::uint8_t> bytes{0x00, 0xff, 0x10};
  EXPECT_EQ(text_codec::base64url_encode(bytes), "AP8Q");
}

TEST(Sasl, BuildsTheXoauth2AndPlainInitialResponses) {
  // RFC 7628-style example: user=someuser@example.com ^A auth=Bearer
  // ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg ^A ^A
  EXPECT_EQ(
      text_codec::xoauth2_initial_response("someuser@example.com",
                                           "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg"),
      "dXNlcj1zb21ldXNlckBleGFtcGxlLmNvbQFhdXRoPUJlYXJlciB5YTI5LnZGOWRmdDRxbVRjMk52YjNSbGNrQmhk"
      "SFJoZG1semRHRXVZMjl0Q2cBAQ==");
  EXPECT_EQ(text_codec::plain_initial_response("tim", "tanstaaftanstaaf"),
            "AHRpbQB0YW5zdGFhZnRhbnN0YWFm");  // RFC 4616 section 4 without authzid
}

}  // namespace
