#pragma once
// The toolkit's form codec ("application/x-www-form-urlencoded"), shared with
// code below the toolkit.

#include "text_codec/form.h"

namespace zarn_ui::uri {
using text_codec::form_body;
using text_codec::form_encode;
using text_codec::FormPairs;
using text_codec::parse_form_query;
using text_codec::utf8_lossy;
}  // namespace zarn_ui::uri
