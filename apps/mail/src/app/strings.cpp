#include "app/strings.h"

#include "log/log.h"

namespace mail {

const std::string_view mail_strings_resource =
    R"(# Mail — user-facing strings.
# Keys are added here as surfaces are migrated off literals. A string that is
# still written as a literal in the code is not translated yet; it is not
# excluded from translation.

## List header
mail-search-placeholder = Search

## Account setup sheet
mail-setup-heading-add = Add account
mail-setup-heading-edit = Account settings
mail-setup-subtitle-add = Enter your email — server details fill in automatically.
mail-setup-label-display-name = Display name
mail-setup-label-email = Email
mail-setup-label-username = Username
mail-setup-label-password = Password
mail-setup-label-imap-host = IMAP host
mail-setup-label-smtp-host = SMTP host
mail-setup-label-port = Port
mail-setup-label-sign-in = Sign-in
mail-setup-auth-password = Password
mail-setup-auth-oauth = OAuth
# $provider is the OAuth provider's own name, as it signs in users of
# addresses such as Gmail or Outlook.
mail-setup-oauth-sign-in = Sign in with { $provider }
mail-setup-oauth-provider-fallback = your provider
mail-setup-oauth-note-available = Opens your browser to authorize (OAuth2 + PKCE).
mail-setup-oauth-note-unavailable = Not available in this installation · Password sign-in is available.
mail-setup-tls = TLS
mail-setup-hint-verified = Credentials are verified before the account is saved.
mail-setup-save = Save & verify
mail-setup-verifying = Verifying…
mail-setup-finding-provider = Finding provider…
mail-setup-cancel = Cancel
mail-setup-remove = Remove

## Compose window
mail-compose-label-to = To
mail-compose-label-cc = Cc
mail-compose-label-bcc = Bcc
mail-compose-label-subject = Subject
mail-compose-placeholder-to = recipients
mail-compose-cc-bcc = Cc/Bcc
mail-compose-attach = 📎 Attach
mail-compose-send = Send
mail-compose-save-draft = Save draft
mail-compose-discard = Discard
# The prompt keys belong to the inline prompt bar above the composer's
# buttons (attach a file path, insert a link).
mail-compose-prompt-attach = Attach
mail-compose-prompt-link = Link
mail-compose-prompt-add = Add
mail-compose-prompt-cancel = Cancel
)";

namespace {

void register_resource(zarn_ui::I18nManager& manager, const std::string& locale) {
  if (auto r = manager.add_resource(locale, mail_strings_resource); !r) {
    zlog::error(zlog::app, "mail: could not register strings", {{"error", r.error()}});
  }
}

void register_strings(zarn_ui::I18nManager& manager) {
  const auto revision = manager.revision();
  register_resource(manager, manager.current_locale());
  if (manager.revision() != revision) return;
  // Nothing changed: the manager may have no usable locale. Probe without the
  // pseudo-locale, which would otherwise hide whether a text exists.
  const bool pseudo = manager.pseudo_locale();
  manager.set_pseudo_locale(false);
  const bool missing = manager.lookup_plain("mail-search-placeholder") == "mail-search-placeholder";
  manager.set_pseudo_locale(pseudo);
  if (missing) {
    manager.init("en-US");
    register_resource(manager, "en-US");
  }
}

}  // namespace

zarn_ui::I18nManager& ensure_strings_in(zarn_ui::I18nManager& manager) {
  register_strings(manager);
  return manager;
}

zarn_ui::I18nManager& ensure_strings() {
  thread_local bool registered = false;
  zarn_ui::I18nManager& manager = zarn_ui::I18nManager::global();
  if (!registered) {
    register_strings(manager);
    registered = true;
  }
  return manager;
}

std::string tr(std::string_view key) { return ensure_strings().lookup_plain(key); }

}  // namespace mail
