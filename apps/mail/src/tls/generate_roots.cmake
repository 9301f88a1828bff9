# Writes a C++ source holding every PEM certificate of ROOTS_DIR, one string
# literal per certificate, in file-name order. Run at build time.
file(GLOB files "${ROOTS_DIR}/*.crt")
list(SORT files)
set(body "")
set(count 0)
foreach(f ${files})
  file(READ "${f}" pem)
  string(REGEX MATCHALL "-----BEGIN CERTIFICATE-----[^-]+-----END CERTIFICATE-----" certs "${pem}")
  foreach(cert ${certs})
    get_filename_component(name "${f}" NAME)
    string(APPEND body "    // ${name}\n    R\"PEM(${cert}\n)PEM\",\n")
    math(EXPR count "${count} + 1")
  endforeach()
endforeach()
message(STATUS "mail tls: ${count} root certificates written to ${OUT}")
file(WRITE "${OUT}.tmp" "// Generated at build time from ${ROOTS_DIR}; do not edit.
#include <cstddef>
#include <string_view>

namespace mail::tls::generated {
extern const std::string_view web_roots[];
extern const std::size_t web_root_count;
const std::string_view web_roots[] = {
${body}};
const std::size_t web_root_count = ${count};
}  // namespace mail::tls::generated
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
