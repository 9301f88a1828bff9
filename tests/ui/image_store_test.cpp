// The image store against a local HTTPS server with the tests' own authority.

#include "zarn_ui/image_store.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <condition_variable>
#include <mutex>

#include "servers/https_fixture.h"
#include "zarn_ui/qt/qt_image_decoder.h"

using namespace zarn_ui;
using namespace std::chrono_literals;

namespace {

std::string png_base64(int w, int h, QColor colour) {
  QImage image(w, h, QImage::Format_RGBA8888);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toBase64().toStdString();
}

nlohmann::json picture_route(const std::string& path, const std::string& base64, int delay_ms = 0) {
  return {{"path", path},
          {"status", 200},
          {"body_base64", base64},
          {"content_type", "image/png"},
          {"delay_ms", delay_ms}};
}

nlohmann::json serving(std::vector<nlohmann::json> routes) {
  nlohmann::json config = nlohmann::json::object();
  config["routes"] = std::move(routes);
  return config;
}

// Stands in for the window's frame request: counts wake-ups and lets a
// "sleeping window" wait for the next one.
class Waker {
 public:
  std::function<void()> callback() {
    return [this] {
      std::lock_guard lock(mutex_);
      ++count_;
      cv_.notify_all();
    };
  }
  int count() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  // Sleeps like an idle window: until a wake-up or `limit`.
  void sleep(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    const int seen = count_;
    cv_.wait_for(lock, limit, [&] { return count_ != seen; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int count_ = 0;
};

// Runs frames (a get per frame, sleeping between them until woken) until the
// URL leaves Loading or ten seconds pass. Returns the frames run.
int frames_until_settled(ImageStore& store, Waker& waker, const std::string& url) {
  int frames = 0;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    ++frames;
    store.get(url);
    if (store.status(url) != ImageStatus::Loading) break;
    waker.sleep(500ms);
  }
  return frames;
}

int requests_for(const testsupport::HttpsServer& server, const std::string& path) {
  int n = 0;
  for (const auto& r : server.requests()) n += r["path"] == path;
  return n;
}

ImageStoreOptions trusting(const testsupport::HttpsServer& server) {
  ImageStoreOptions o;
  o.trusted_pem = server.ca_pem();
  return o;
}

}  // namespace

TEST(ImageStore, APictureArrivesWithinFramesWithoutBlockingAFrame) {
  testsupport::HttpsServer server(
      serving({picture_route("/avatar/a", png_base64(4, 3, QColor(220, 30, 40)), 300)}));
  Waker waker;
  ImageStore store(qt::image_decoder(), waker.callback(), trusting(server));
  const std::string url = server.url("/avatar/a?s=96&d=404");

  // The server holds its answer for 300 ms: a get that waited for it would
  // come back with the picture.
  EXPECT_FALSE(store.get(url).has_value());
  EXPECT_EQ(store.status(url), ImageStatus::Loading);

  frames_until_settled(store, waker, url);
  const std::optional<Image> picture = store.get(url);
  ASSERT_TRUE(picture.has_value()) << store.failure(url);
  EXPECT_EQ(picture->width(), 4);
  EXPECT_EQ(picture->height(), 3);
  EXPECT_EQ(picture->rgba()[0], 220);
  EXPECT_EQ(picture->rgba()[1], 30);
  EXPECT_EQ(picture->rgba()[3], 255);
  EXPECT_GE(waker.count(), 1);

  for (int i = 0; i < 5; ++i) EXPECT_TRUE(store.get(url).has_value());
  EXPECT_EQ(requests_for(server, "/avatar/a"), 1);
  EXPECT_EQ(store.memory_used(), 4u * 3u * 4u);
}

TEST(ImageStore, FailuresEndAsNoPictureOnceWithoutRefetchingEachFrame) {
  struct Case {
    std::string path;
    std::string failure_mentions;
  };
  const std::vector<Case> cases = {
      {"/avatar/missing", "HTTP 404"},               // no route: 404
      {"/avatar/broken", "not a readable picture"},  // 200 with bytes that are no picture
      {"/avatar/huge", "larger than 2048 bytes"},    // beyond the download limit
  };
  testsupport::HttpsServer server(serving({{{"path", "/avatar/broken"},
                                            {"body", "<html>not a picture</html>"},
                                            {"content_type", "image/png"}},
                                           {{"path", "/avatar/huge"},
                                            {"body", std::string(4096, 'x')},
                                            {"content_type", "image/png"}}}));
  Waker waker;
  ImageStoreOptions options = trusting(server);
  options.max_download = 2048;
  ImageStore store(qt::image_decoder(), waker.callback(), options);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string url = server.url(c.path);
    frames_until_settled(store, waker, url);
    EXPECT_EQ(store.status(url), ImageStatus::Failed);
    EXPECT_NE(store.failure(url).find(c.failure_mentions), std::string::npos) << store.failure(url);
    // Drawing code keeps asking every frame; the store does not ask the server again.
    for (int frame = 0; frame < 30; ++frame) EXPECT_FALSE(store.get(url).has_value());
    EXPECT_EQ(store.status(url), ImageStatus::Failed);
    EXPECT_EQ(requests_for(server, c.path), 1);
  }
}

TEST(ImageStore, TrustsOnlyTheAuthoritiesItIsGivenAndOnlyHttps) {
  testsupport::HttpsServer server(
      serving({picture_route("/avatar/a", png_base64(2, 2, Qt::blue))}));
  Waker waker;
  // Without the test authority the server's certificate is not trusted.
  ImageStore untrusting(qt::image_decoder(), waker.callback(), ImageStoreOptions{});
  const std::string url = server.url("/avatar/a");
  frames_until_settled(untrusting, waker, url);
  EXPECT_EQ(untrusting.status(url), ImageStatus::Failed);
  EXPECT_FALSE(untrusting.failure(url).empty());

  ImageStore store(qt::image_decoder(), waker.callback(), trusting(server));
  const std::string plain = "http://127.0.0.1:" + std::to_string(server.port()) + "/avatar/a";
  EXPECT_FALSE(store.get(plain).has_value());
  EXPECT_EQ(store.status(plain), ImageStatus::Failed);
  EXPECT_FALSE(store.get("file:///etc/passwd").has_value());
  EXPECT_EQ(store.status("file:///etc/passwd"), ImageStatus::Failed);
  EXPECT_EQ(requests_for(server, "/avatar/a"), 0);
}

TEST(ImageStore, KeepsPicturesWithinItsBudgetDroppingTheLeastRecentlyAskedFor) {
  const std::string picture = png_base64(10, 10, Qt::green);  // 400 bytes decoded
  testsupport::HttpsServer server(serving(
      {picture_route("/a", picture), picture_route("/b", picture), picture_route("/c", picture)}));
  Waker waker;
  ImageStoreOptions options = trusting(server);
  options.memory_budget = 1000;  // room for two
  ImageStore store(qt::image_decoder(), waker.callback(), options);
  const std::string a = server.url("/a"), b = server.url("/b"), c = server.url("/c");

  frames_until_settled(store, waker, a);
  frames_until_settled(store, waker, b);
  ASSERT_TRUE(store.get(a).has_value());  // a is now more recent than b
  frames_until_settled(store, waker, c);

  EXPECT_EQ(store.status(a), ImageStatus::Ready);
  EXPECT_EQ(store.status(b), ImageStatus::Unknown);
  EXPECT_EQ(store.status(c), ImageStatus::Ready);
  EXPECT_LE(store.memory_used(), 1000u);

  // A dropped picture is fetched again when asked for.
  frames_until_settled(store, waker, b);
  EXPECT_EQ(store.status(b), ImageStatus::Ready);
  EXPECT_EQ(requests_for(server, "/b"), 2);
  EXPECT_EQ(requests_for(server, "/a"), 1);
}

TEST(ImageStore, ClosesWhileATransferIsStillWaitingForTheServer) {
  testsupport::HttpsServer server(
      serving({picture_route("/slow", png_base64(2, 2, Qt::red), 5000)}));
  Waker waker;
  {
    ImageStore store(qt::image_decoder(), waker.callback(), trusting(server));
    EXPECT_FALSE(store.get(server.url("/slow")).has_value());
    while (requests_for(server, "/slow") == 0) std::this_thread::sleep_for(10ms);
  }  // the destructor abandons the transfer instead of waiting five seconds for it
  EXPECT_EQ(waker.count(), 0);
}
