#include "sample/sample.h"

#include "draft/draft.h"
#include "mime/record_builder.h"
#include "record/stable_id.h"

namespace mail {

namespace {

constexpr std::int64_t clock = sample_clock_minute;
constexpr std::int64_t day_start = clock - clock % 1440;

Address person(std::string_view name, std::string_view email) {
  return Address{std::string(email), std::string(name)};
}

const Address you{"you@example.com", "You"};

AttachmentRecord listed(std::string_view name, std::string_view type, std::uint64_t size) {
  // Listed by the server but not fetched: a size without content.
  AttachmentRecord a;
  a.filename = std::string(name);
  a.content_type = std::string(type);
  a.size = size;
  a.downloaded = false;
  return a;
}

struct Row {
  Address from;
  std::string subject;
  FolderRole folder;
  bool read;
  bool starred;
  std::int64_t age;  // minutes before the clock
  std::string text;
  std::vector<AttachmentRecord> attachments = {};
  std::optional<std::string> message_id = std::nullopt;
  std::optional<std::string> in_reply_to = std::nullopt;
  std::vector<Address> to = {you};
};

MessageRecord make(Row row) {
  MessageRecord r;
  r.from = std::move(row.from);
  r.to = std::move(row.to);
  r.subject = std::move(row.subject);
  r.text = std::move(row.text);
  r.attachments = std::move(row.attachments);
  r.message_id = std::move(row.message_id);
  r.in_reply_to = std::move(row.in_reply_to);
  r.id = r.message_id ? stable_message_id(*r.message_id) : Uuid::random_v4();
  r.date = clock - row.age;
  r.read = row.read;
  r.starred = row.starred;
  r.folder = row.folder;
  return r;
}

constexpr std::string_view launch_root = "sample-launch-plan-root@zarn.example";

// Raw messages, written with LF here and sent through the builder with CRLF.
constexpr std::string_view raw_priority_display = R"(From: Noor Example <noor@example.org>
To: You <you@example.com>
Subject: Priority display + error detection
Date: Tue, 30 Jun 2026 13:35:00 +0000
Message-ID: <sample-priority-display@example.org>
MIME-Version: 1.0
Content-Type: text/plain; charset=utf-8
Content-Transfer-Encoding: 8bit

Hi,

The priority display now flags stale tiles before they reach the compositor,
and the error detector catches checksum mismatches on the second pass.

Could you try it on the test rig this afternoon? Two things to watch:
- the amber badge should clear within a frame of the fix landing;
- no false positives when the link is idle.

Thanks,
Noor
)";

constexpr std::string_view raw_spanning_tree = R"(From: Kai Sample <kai@example.net>
To: You <you@example.com>
Subject: Spanning-tree notes for the gossip mesh
Date: Tue, 30 Jun 2026 07:05:00 +0000
Message-ID: <sample-spanning-tree@example.net>
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="sample-boundary-7f3a"

--sample-boundary-7f3a
Content-Type: text/plain; charset=utf-8

Morning! Notes from yesterday's whiteboard session are attached.

Short version: we keep a spanning tree per region and fall back to random
gossip only when a branch goes quiet for more than three rounds.

Kai
--sample-boundary-7f3a
Content-Type: application/pdf; name="spanning-tree.pdf"
Content-Disposition: attachment; filename="spanning-tree.pdf"
Content-Transfer-Encoding: base64

JVBERi0xLjQKMSAwIG9iajw8L1R5cGUvQ2F0YWxvZz4+ZW5kb2JqCnRyYWlsZXI8PC9Sb290IDEg
MCBSPj4KJSVFT0YK
--sample-boundary-7f3a--
)";

constexpr std::string_view raw_newsletter = R"(From: This Week in Zarn <newsletter@zarn.example>
To: You <you@example.com>
Subject: This week in Zarn — spatial shells & collab buffers
Date: Tue, 30 Jun 2026 13:13:00 +0000
Message-ID: <sample-weekly-27@zarn.example>
MIME-Version: 1.0
Content-Type: multipart/alternative; boundary="sample-alt-42"

--sample-alt-42
Content-Type: text/plain; charset=utf-8

This week in Zarn

- Spatial shells: windows now remember their depth across restarts.
- Collab buffers: two people can edit one buffer with live cursors.
- Faster start-up: cold launch is down to 180 ms.

"The best release notes are the ones you never need." — the release crew

Read more: https://zarn.example/weekly/27
--sample-alt-42
Content-Type: text/html; charset=utf-8

<!DOCTYPE html>
<html><head><style>h1 { color: #7c3aed; font-family: sans-serif; }</style></head>
<body>
<h1 style="color:#7c3aed;font-size:24px">This week in Zarn</h1>
<img src="https://tracking.zarn.example/open.gif?u=sample" width="1" height="1" alt="">
<ul>
<li><b>Spatial shells:</b> windows now remember their depth across restarts.</li>
<li><b>Collab buffers:</b> two people can edit one buffer with live cursors.</li>
<li><b>Faster start-up:</b> cold launch is down to 180&nbsp;ms.</li>
</ul>
<blockquote>The best release notes are the ones you never need. — the release crew</blockquote>
<p><a href="https://zarn.example/weekly/27">Read more on the web</a></p>
</body></html>
--sample-alt-42--
)";

std::string with_crlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

void add_raw(MailDocument& doc, std::string_view raw, std::int64_t date, bool read, bool starred) {
  auto record = build_record(with_crlf(raw), FolderRole::Inbox, false, false, date, clock);
  if (!record) return;  // the texts above are fixed; this does not happen
  record->read = read;
  record->starred = starred;
  doc.upsert(std::move(*record));
}

}  // namespace

SampleState sample_state() {
  AccountSettings first;
  first.display_name = "You";
  first.email = "you@example.com";
  first.imap_host = "imap.example.com";
  first.imap_port = 993;
  first.smtp_host = "smtp.example.com";
  first.smtp_port = 465;
  first.username = "you@example.com";
  first.password = "sample01";
  first.auth = AuthKind::Password;

  AccountSettings second;
  second.display_name = "You at Northwind Orbital";
  second.email = "you@northwind.example";
  second.imap_host = "imap.northwind.example";
  second.imap_port = 993;
  second.smtp_host = "smtp.northwind.example";
  second.smtp_port = 587;
  second.username = "you@northwind.example";
  second.password = "sample02";
  second.auth = AuthKind::Password;

  SampleState state{{}, MailDocument(first), clock};
  state.accounts.push_back(MailAccount{first.email, first, false, false});
  state.accounts.push_back(MailAccount{second.email, second, false, false});

  MailDocument& doc = state.document;
  const Address ines = person("Ines Example", "ines@example.org");
  const Address theo = person("Theo Sample", "theo@example.net");

  doc.upsert(make({ines,
                   "Launch plan for the spatial shell",
                   FolderRole::Inbox,
                   true,
                   true,
                   143,
                   "Here is the first cut of the launch plan. Beta opens to the design partners "
                   "on the 14th, the public preview follows two weeks later.\n\nPlease flag "
                   "anything that looks too tight before Friday.",
                   {},
                   std::string(launch_root)}));
  doc.upsert(make({theo,
                   "Re: Launch plan for the spatial shell",
                   FolderRole::Inbox,
                   true,
                   false,
                   107,
                   "Looks good overall. The partner beta depends on the input rework, which is "
                   "still a week out — can we slip that milestone by three days?",
                   {},
                   "sample-launch-plan-reply@zarn.example",
                   std::string(launch_root)}));
  doc.upsert(make({ines,
                   "Re: Launch plan for the spatial shell",
                   FolderRole::Inbox,
                   false,
                   false,
                   38,
                   "Updated plan attached with the three-day slip. The rollout chart shows the "
                   "new dates; nothing else moved.",
                   {listed("rollout-gantt.pdf", "application/pdf", 184320)},
                   "sample-launch-plan-latest@zarn.example",
                   std::string(launch_root)}));
  doc.upsert(make({person("Build Bot", "ci@builds.example.com"),
                   "Build #4821 failed on shell --lib",
                   FolderRole::Inbox,
                   false,
                   false,
                   14,
                   "Build #4821 failed.\n\nStep: test shell --lib\nFailing test: "
                   "layout::snap_keeps_focus (assertion failed at step 3 of 5)\n\nThe full log "
                   "is attached.",
                   {listed("build-4821.log", "text/plain", 28716)}}));
  doc.upsert(make({person("Priya Placeholder", "priya@example.org"),
                   "Re-check the trajectory math",
                   FolderRole::Inbox,
                   true,
                   true,
                   300,
                   "I reran the trajectory numbers with the corrected drag term. The second "
                   "column still drifts after t = 40 s; the raw values are attached.",
                   {listed("trajectory.csv", "text/csv", 9204)}}));
  doc.upsert(make({theo, "Coffee before the standup?", FolderRole::Inbox, false, false, 3,
                   "Grabbing coffee in ten minutes — want to join before the standup?"}));
  doc.upsert(make({person("Rin Example via fs-devel", "fs-devel@lists.example.org"),
                   "Re: [PATCH] fuse: hydrate-on-read for projected blobs",
                   FolderRole::Inbox,
                   true,
                   false,
                   1560,
                   "On the hydration path: reading a projected blob now fetches its content on "
                   "first access instead of at mount time.\n\nReviewed-by: Rin Example "
                   "<rin@example.org>",
                   {},
                   std::nullopt,
                   std::nullopt,
                   {Address{"fs-devel@lists.example.org", std::nullopt}}}));
  doc.upsert(make({person("Calendar", "calendar@example.com"),
                   "Invitation: Compositor sync @ Thu 11:00",
                   FolderRole::Inbox,
                   false,
                   false,
                   540,
                   "Ines Example has invited you to Compositor sync.\n\nThursday 11:00 – 11:30 "
                   "(UTC)\nJoin: https://meet.example.com/compositor-sync",
                   {listed("invite.ics", "text/calendar", 1842)}}));
  doc.upsert(make({you,
                   "Re: Launch plan for the spatial shell",
                   FolderRole::Sent,
                   true,
                   false,
                   50,
                   "Three days is fine by me. I will update the partner mail once the new "
                   "chart is in.",
                   {},
                   std::nullopt,
                   std::string(launch_root),
                   {ines, theo}}));
  doc.upsert(make({you,
                   "Re: Re-check the trajectory math",
                   FolderRole::Sent,
                   true,
                   false,
                   270,
                   "Thanks — I will look at the drag term tonight and send a fix tomorrow.",
                   {},
                   std::nullopt,
                   std::nullopt,
                   {person("Priya Placeholder", "priya@example.org")}}));
  doc.upsert(make({person("People Team", "people@example.com"),
                   "Onboarding notes",
                   FolderRole::Archive,
                   true,
                   false,
                   12960,
                   "Welcome aboard! Your onboarding notes are attached: accounts, the build "
                   "setup, and who to ask about what.",
                   {listed("onboarding.pdf", "application/pdf", 512000)}}));
  doc.upsert(make({person("Prize Center", "winner@prize-center.example"),
                   "\xF0\x9F\x8E\x89 Congratulations! You\xE2\x80\x99ve won a $1,000 gift card",
                   FolderRole::Junk, false, false, 420,
                   "Claim your prize now! Just confirm your bank details within 24 hours to "
                   "receive your reward."}));

  add_raw(doc, raw_priority_display, day_start + 13 * 60 + 35, false, false);
  add_raw(doc, raw_spanning_tree, day_start + 7 * 60 + 5, true, false);
  add_raw(doc, raw_newsletter, day_start + 13 * 60 + 13, false, true);
  return state;
}

}  // namespace mail
