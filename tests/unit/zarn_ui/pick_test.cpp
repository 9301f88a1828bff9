#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "zarn_ui/pick_standin.h"

using namespace zarn_ui;
using namespace std::chrono_literals;

namespace {

// Polls once per "frame" until the outcome arrives (or five seconds pass).
template <typename T>
std::optional<PickOutcome<T>> poll_frames(PickHandle<T>& handle) {
  for (int frame = 0; frame < 1000; ++frame) {
    if (auto outcome = handle.poll()) return outcome;
    std::this_thread::sleep_for(5ms);
  }
  return std::nullopt;
}

struct ThrowingPicker : FilePicker {
  std::optional<PickAnswer> run(const PickRequest&) override {
    throw std::runtime_error("the portal refused the request");
  }
};

}  // namespace

TEST(PickRequest, TellsAChosenFileACancellationAFailureAndAVanishedPickerApart) {
  auto standin = std::make_shared<StandInPicker>();
  struct Case {
    std::function<void()> answer;
    std::size_t alternative;
  };
  const std::vector<Case> cases = {
      {[&] { standin->answer_with_path("/tmp/saved.pdf"); }, 0},
      {[&] { standin->answer_cancel(); }, 1},
      {[&] { standin->answer_failure("no portal"); }, 2},
      {[&] { standin->answer_vanish(); }, 3},
  };
  for (const Case& c : cases) {
    c.answer();
    auto handle = PickRequest::save("Save attachment", "Save", "report.pdf")
                      .thread_name("mail-portal-save-attachment")
                      .filter(FileFilter::all_files())
                      .picker(standin)
                      .send();
    auto outcome = poll_frames(handle);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->index(), c.alternative);
    EXPECT_FALSE(handle.pending());
    EXPECT_FALSE(handle.poll().has_value());  // delivered once
  }
  const auto seen = standin->requests();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].mode, PickMode::Save);
  EXPECT_EQ(seen[0].title, "Save attachment");
  EXPECT_EQ(seen[0].accept_label, "Save");
  EXPECT_EQ(seen[0].suggested_name, "report.pdf");
  ASSERT_EQ(seen[0].filters.size(), 1u);
  EXPECT_EQ(seen[0].filters[0].patterns, std::vector<std::string>{"*"});
  EXPECT_EQ(seen[0].thread, "mail-portal-sav");  // the kernel keeps 15 bytes
}

TEST(PickRequest, PollingNeverWaitsForTheChooser) {
  auto standin = std::make_shared<StandInPicker>();
  standin->hold();
  standin->answer_with_path("/tmp/x");
  auto handle = PickRequest::save("Save", "Save", "x").picker(standin).send();
  for (int frame = 0; frame < 20; ++frame) {
    EXPECT_FALSE(handle.poll().has_value());
    EXPECT_TRUE(handle.pending());
    std::this_thread::sleep_for(2ms);
  }
  standin->release();
  auto outcome = poll_frames(handle);
  ASSERT_TRUE(outcome.has_value());
  ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(*outcome));
  EXPECT_EQ(std::get<std::filesystem::path>(*outcome), "/tmp/x");
}

TEST(PickRequest, OpensTheChosenFileOffTheUiThreadOrSaysWhyNot) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("zarn-pick-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "notes.txt";
  std::ofstream(file) << "hello";
  auto standin = std::make_shared<StandInPicker>();

  standin->answer_with_path(file);
  auto handle = PickRequest::open("Attach file", "Attach")
                    .thread_name("mail-portal-stage-attachment")
                    .picker(standin)
                    .send_open_file();
  auto outcome = poll_frames(handle);
  ASSERT_TRUE(outcome.has_value());
  ASSERT_TRUE(std::holds_alternative<OpenedFile>(*outcome));
  OpenedFile opened = std::get<OpenedFile>(std::move(*outcome));
  EXPECT_EQ(opened.file_name(), "notes.txt");
  OpenedFile::FilePtr f = std::move(opened).into_file();
  char buf[16] = {};
  EXPECT_EQ(std::fread(buf, 1, sizeof buf, f.get()), 5u);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(standin->requests().back().thread, "mail-portal-sta");

  standin->answer_with_path(dir / "gone.txt");
  auto missing = PickRequest::open("Attach file", "Attach").picker(standin).send_open_file();
  auto failed = poll_frames(missing);
  ASSERT_TRUE(failed.has_value());
  ASSERT_TRUE(std::holds_alternative<PickFailed>(*failed));
  EXPECT_NE(std::get<PickFailed>(*failed).reason.find("gone.txt"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(PickRequest, FailsWithAReasonWhenNoChooserCanBeAsked) {
  install_file_picker(nullptr);
  auto none = PickRequest::open("Attach file", "Attach").send();
  auto outcome = none.poll();  // known at once
  ASSERT_TRUE(outcome.has_value());
  ASSERT_TRUE(std::holds_alternative<PickFailed>(*outcome));
  EXPECT_FALSE(std::get<PickFailed>(*outcome).reason.empty());

  auto throwing =
      PickRequest::open("Attach file", "Attach").picker(std::make_shared<ThrowingPicker>()).send();
  auto thrown = poll_frames(throwing);
  ASSERT_TRUE(thrown.has_value());
  ASSERT_TRUE(std::holds_alternative<PickFailed>(*thrown));
  EXPECT_EQ(std::get<PickFailed>(*thrown).reason, "the portal refused the request");

  // The installed chooser is the default.
  auto standin = std::make_shared<StandInPicker>();
  standin->answer_cancel();
  install_file_picker(standin);
  auto installed = PickRequest::open("Attach file", "Attach").send();
  auto cancelled = poll_frames(installed);
  install_file_picker(nullptr);
  ASSERT_TRUE(cancelled.has_value());
  EXPECT_TRUE(std::holds_alternative<PickCancelled>(*cancelled));
}
