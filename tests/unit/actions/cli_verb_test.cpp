// The "verb" subcommand of zarn-mail-cli, run in-process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "support/cli_run.h"

namespace {

using Run = testing_support::CliRun;
Run run(const std::string& name, std::vector<std::string> args) {
  return testing_support::run_cli(name, std::move(args));
}

}  // namespace

TEST(CliVerb, PrintsCanonicalJsonOrTheDecoderMessage) {
  const std::string id = "6f1c2a3b-0d4e-4f5a-8b6c-7d8e9f0a1b2c";
  struct Case {
    std::string input;
    int code;
    std::string out;
    const char* err_part;
  } cases[] = {
      {R"(  "DiscardDraft" )", 0, "\"DiscardDraft\"\n", ""},
      {R"("RevealDraft")", 0, "\"RevealDraft\"\n", ""},
      {R"({ "SetRead" : { "read": true, "ids": ["6F1C2A3B-0D4E-4F5A-8B6C-7D8E9F0A1B2C"] } })", 0,
       R"({"SetRead":{"ids":[")" + id +
           R"("],"read":true}})"
           "\n",
       ""},
      {R"({"SaveDraft":{"body":"b","to":"a","cc":"","bcc":"","subject":"s","attachments":[]}})", 0,
       R"({"SaveDraft":{"to":"a","cc":"","bcc":"","subject":"s","body":"b","attachments":[]}})"
       "\n",
       ""},
      {R"({"Reply":{"id":")" + id + R"("}})", 0,
       R"({"Reply":{"id":")" + id +
           R"("}})"
           "\n",
       ""},
      {R"({"reply":{"id":")" + id + R"("}})", 1, "", "unknown variant `reply`"},
      {R"({"Reply":{}})", 1, "", "missing field `id`"},
      {R"({"SetRead":{"ids":[]}})", 1, "", "missing field `read`"},
      {"nope", 1, "", "parse error"},
  };
  for (const auto& c : cases) {
    auto r = run("verb", {c.input});
    EXPECT_EQ(r.code, c.code) << c.input;
    EXPECT_EQ(r.out, c.out) << c.input;
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << c.input << " → " << r.err;
  }
}
