# GoogleTest built from the sources Debian's googletest package installs, so
# that the same sources serve the native and the Windows tree.
set(TESSARON_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${TESSARON_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(MINGW)
  # The test programs carry the runtime with them, like the product.
  target_link_options(gtest_main INTERFACE -static -static-libgcc -static-libstdc++)
endif()
include(GoogleTest)
