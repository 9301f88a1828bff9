#pragma once
// The replicated document the host keeps for an application, as the toolkit
// offers it: `zarn_ui::persist::open(folder)` is the launch configuration's
// persistence opener.

#include "persist/persist.h"

namespace zarn_ui::persist {
using ::persist::Document;
using ::persist::open;
}  // namespace zarn_ui::persist
