#include "autoconfig/dns_answer.h"

#include <gtest/gtest.h>

namespace mail {
namespace {

TEST(DnsAnswer, UnrelatedExchangerAt5IsPassedOverForGoogleAt10) {
  const char* body = R"({"Status":0,"Answer":[
    {"name":"example.org.","type":15,"TTL":300,"data":"10 aspmx.l.google.com."},
    {"name":"example.org.","type":15,"TTL":300,"data":"5 mx.unrelated.net."}]})";
  const auto records = read_mx_answer(body);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], (MxRecord{5, "mx.unrelated.net."}));
  EXPECT_EQ(records[1], (MxRecord{10, "aspmx.l.google.com."}));
  // The unrelated exchanger maps to nothing, so the Google one decides.
  EXPECT_EQ(provider_kind_for_mx_answer(body), ProviderKind::Google);
}

TEST(DnsAnswer, FirstKnownExchangerByPreferenceWinsAndTiesKeepOrder) {
  const char* body = R"({"Answer":[
    {"type":15,"data":"20 mx.messagingengine.com"},
    {"type":15,"data":"10 mx1.mail.icloud.com"},
    {"type":15,"data":"10 alt.aspmx.l.google.com"}]})";
  EXPECT_EQ(provider_kind_for_mx_answer(body), ProviderKind::ICloud);
}

TEST(DnsAnswer, DropsWhatDoesNotRead) {
  const char* body = R"({"Answer":[
    {"type":5,"data":"10 aspmx.l.google.com."},
    {"type":"15","data":"10 aspmx.l.google.com."},
    {"type":15,"data":"70000 aspmx.l.google.com."},
    {"type":15,"data":"-1 aspmx.l.google.com."},
    {"type":15,"data":"aspmx.l.google.com."},
    {"type":15,"data":"10"},
    {"type":15,"data":10},
    {"type":15},
    "junk",
    {"type":15,"data":"  7 \t mx.example.net  "}]})";
  const auto records = read_mx_answer(body);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], (MxRecord{7, "mx.example.net"}));
  EXPECT_FALSE(provider_kind_for_mx_answer(body));
}

TEST(DnsAnswer, NoAnswerOrNoJsonGivesNoRecords) {
  for (const char* body :
       {"", "not json", "[]", R"({"Status":3})", R"({"Answer":{}})", "{\"Answer\":["}) {
    EXPECT_TRUE(read_mx_answer(body).empty()) << body;
  }
}

}  // namespace
}  // namespace mail
