# GoogleTest for Windows builds. A native build uses an installed package when CMake finds one;
# the mingw-w64 cross build has none, so GoogleTest is built from its sources, which Debian's
# googletest package puts in /usr/src/googletest (elsewhere, point GLYPH_GTEST_SOURCE_DIR at a
# checkout of GoogleTest).
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  set(GLYPH_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build the tests with")
  set(INSTALL_GTEST OFF CACHE BOOL "Install GoogleTest with the game" FORCE)
  # With MSVC, link the same C runtime as the game does.
  set(gtest_force_shared_crt ON CACHE BOOL "Use the shared C runtime for GoogleTest" FORCE)
  add_subdirectory(${GLYPH_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its warnings are not ours to fix.
  set_target_properties(gtest gtest_main gmock gmock_main PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
endif()
