#pragma once
// The form codec the sign-in flow uses is the toolkit's.

#include "zarn_ui/uri.h"

namespace mail {
using FormPairs = zarn_ui::uri::FormPairs;
using zarn_ui::uri::form_body;
using zarn_ui::uri::form_encode;
using zarn_ui::uri::parse_form_query;
using zarn_ui::uri::utf8_lossy;
}  // namespace mail
