#pragma once
// The launch configuration of the Mail application.

#include "zarn_ui/launch.h"

namespace mail {

zarn_ui::LaunchConfig launch_config();

}  // namespace mail
