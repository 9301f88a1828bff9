#pragma once
// The view state that MailApp and its panes share. One instance lives in a
// reference-counted cell; everything touches it on the UI thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "doc/mail_document.h"
#include "record/folder.h"
#include "state/accounts.h"

namespace mail {

struct MailView {
  MailDocument document;
  AccountList accounts;
  FolderRole folder = FolderRole::Inbox;
  std::string query;
  std::optional<std::string> status;
  std::int64_t now_minute = 0;

  // Published by layout.
  bool narrow = false;
  bool reader_shown = false;
  bool sidebar_shown = true;

  bool startup_done = false;
  bool changed = true;  // panes rebuild and the frame is redrawn
};

using SharedView = std::shared_ptr<MailView>;

}  // namespace mail
