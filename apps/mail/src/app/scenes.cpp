#include "app/scenes.h"

namespace mail {

zarn_ui::Size scene_size(std::string_view s) {
  if (s == "narrow" || s == "narrow_detail" || s == "narrow_drawer" || s == "compose_narrow" ||
      s == "setup_narrow") {
    return {560, 860};
  }
  if (s == "mid") return {1000, 720};
  if (s == "compose" || s == "reply") return {1180, 820};
  if (s == "setup" || s == "setup_add" || s == "setup_oauth" || s == "firstrun" || s == "error") {
    return {1100, 780};
  }
  if (s == "html_mail") return {1280, 820};
  return {1280, 800};
}

}  // namespace mail
