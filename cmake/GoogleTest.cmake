# GoogleTest: the installed package where there is one (Debian's libgtest-dev
# natively, vcpkg on Windows), otherwise built from Debian's sources, as for
# the cross build.
set(TINTWELD_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
set(TINTWELD_HAVE_GTEST OFF)

if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest QUIET)
endif()

if(TARGET GTest::gtest_main)
  set(TINTWELD_HAVE_GTEST ON)
elseif(EXISTS "${TINTWELD_GTEST_SOURCE}/CMakeLists.txt")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory("${TINTWELD_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
  set(TINTWELD_HAVE_GTEST ON)
else()
  message(WARNING "GoogleTest not found: tests are not built")
endif()

include(GoogleTest)

# One test target. Natively every test case is its own ctest entry; under an
# emulator (Wine) each executable is one entry, since starting it is slow.
function(tintweld_add_gtest target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()
