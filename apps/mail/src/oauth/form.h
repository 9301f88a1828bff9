#pragma once
// The form codec the sign-in flow uses: the shared one.

#include "text_codec/form.h"

namespace mail {
using text_codec::form_body;
using text_codec::form_encode;
using text_codec::FormPairs;
using text_codec::parse_form_query;
using text_codec::utf8_lossy;
}  // namespace mail
