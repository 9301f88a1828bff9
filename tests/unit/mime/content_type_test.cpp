#include "mime/content_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using mail::mime_from_name;

TEST(MimeFromName, LastExtensionCaseInsensitive) {
  struct Case {
    const char* name;
    const char* type;
  } cases[] = {
      {"report.PDF", "application/pdf"},
      {"backup.tar.gz", "application/gzip"},
      {"archive.tar", "application/x-tar"},
      {"README", "application/octet-stream"},
      {"pdf", "application/pdf"},  // no dot: the whole name is looked up
      {"photo.JpEg", "image/jpeg"},
      {"a.jpg", "image/jpeg"},
      {"logo.svg", "image/svg+xml"},
      {"notes.md", "text/markdown"},
      {"build.log", "text/plain"},
      {"page.htm", "text/html"},
      {"invite.ics", "text/calendar"},
      {"sheet.xlsx", "application/vnd.ms-excel"},
      {"deck.pptx", "application/vnd.ms-powerpoint"},
      {"letter.docx", "application/msword"},
      {"data.json", "application/json"},
      {"trailing.", "application/octet-stream"},
      {"", "application/octet-stream"},
      {"x.exe", "application/octet-stream"},
  };
  for (const auto& c : cases) EXPECT_EQ(mime_from_name(c.name), c.type) << c.name;
}

}  // namespace
