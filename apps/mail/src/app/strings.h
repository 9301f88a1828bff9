#pragma once
// The localisation resource of the window's keyed texts, and its registration.

#include <string_view>

#include "zarn_ui/i18n.h"

namespace mail {

// The resource in the toolkit's message format, exactly as registered.
extern const std::string_view mail_strings_resource;

// Registers the resource once per thread (for the manager's current locale,
// falling back to "en-US" when the registration left the probe key without
// a text) and returns the manager.
zarn_ui::I18nManager& ensure_strings();
// Registers into a given manager now (no per-thread flag); for tests.
zarn_ui::I18nManager& ensure_strings_in(zarn_ui::I18nManager& manager);

// Looks up a keyed text (after ensure_strings()).
std::string tr(std::string_view key);

}  // namespace mail
