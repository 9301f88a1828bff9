# Third-party libraries, all from Debian's packages (see scripts/setup).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(spdlog REQUIRED)
find_package(OpenSSL 3 REQUIRED)
find_package(CURL REQUIRED)
find_package(Qt6 COMPONENTS Core Gui Widgets REQUIRED)
pkg_check_modules(GMIME REQUIRED IMPORTED_TARGET gmime-3.0)
pkg_check_modules(GUMBO REQUIRED IMPORTED_TARGET gumbo)
if(ZARN_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(ZARN_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()

# clang before 19 reports an older __cpp_concepts, which hides std::expected in
# libstdc++ 12 although clang 16 compiles it; fuzz builds use clang.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_compile_options(-U__cpp_concepts -D__cpp_concepts=202002L -Wno-builtin-macro-redefined)
endif()

# In fuzz builds every library is instrumented, so the fuzzer sees coverage
# inside the code under test and not only in the target's own file.
if(ZARN_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Standalone Asio is header-only.
if(NOT TARGET zarn::asio)
  add_library(zarn_asio INTERFACE)
  target_compile_definitions(zarn_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
  target_link_libraries(zarn_asio INTERFACE Threads::Threads OpenSSL::SSL OpenSSL::Crypto)
  add_library(zarn::asio ALIAS zarn_asio)
endif()
