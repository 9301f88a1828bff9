// The "validate" subcommand of zarn-mail-cli, run in-process.
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

std::string write_temp(const std::string& text) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  auto path = std::filesystem::temp_directory_path() /
              ("cli-validate-" + std::to_string(::getpid()) + "-" + info->name() + ".json");
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

}  // namespace

TEST(CliValidate, PrintsProblemsAsPairsWithExitCodes) {
  struct Case {
    const char* doc;
    int code;
    const char* out;
    const char* err_part;
  } cases[] = {
      {R"({"display_name":"","email":"ada.example.org","imap_host":"","imap_port":0,"imap_tls":true,)"
       R"("smtp_host":" ","smtp_port":0,"smtp_tls":true,"username":"  "})",
       1,
       R"([["email","Enter a valid email address"],["imap_host","IMAP host is required"],)"
       R"(["smtp_host","SMTP host is required"],["username","Username is required"],)"
       R"(["imap_port","Port must be 1-65535"],["smtp_port","Port must be 1-65535"]])"
       "\n",
       ""},
      {R"({"display_name":"","email":"a@b","imap_host":"h","imap_port":1,"imap_tls":true,)"
       R"("smtp_host":"h","smtp_port":2,"smtp_tls":true,"username":"u","auth":"OAuth"})",
       0, "[]\n", ""},
      {R"({"display_name":"","email":"a@b","imap_host":"h","imap_port":1,"imap_tls":true,)"
       R"("smtp_host":"h","smtp_port":2,"smtp_tls":true,"username":"u","auth":"oauth"})",
       2, "", "expected `Password` or `OAuth`"},
      {R"({"display_name":"","email":"a@b","imap_host":"h","imap_port":1,"imap_tls":true,)"
       R"("smtp_host":"h","smtp_port":2,"smtp_tls":true})",
       2, "", "missing field `username`"},
      {R"({"email":"a@b","email":"c@d"})", 2, "", "duplicate field `email`"},
      {"not json", 2, "", "parse error"},
  };
  for (const auto& c : cases) {
    const auto path = write_temp(c.doc);
    auto r = run("validate", {path});
    std::filesystem::remove(path);
    EXPECT_EQ(r.code, c.code) << c.doc;
    EXPECT_EQ(r.out, c.out) << c.doc;
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
  }
}

TEST(CliValidate, AMissingFileOrArgumentIsAnError) {
  auto r = run("validate", {"/nonexistent/settings.json"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(r.out.empty());
  EXPECT_FALSE(r.err.empty());
  EXPECT_EQ(run("validate", {}).code, 2);
}
