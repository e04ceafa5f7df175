# GoogleTest for the tests: the installed package for native builds, or built
# from Debian's googletest sources for a cross target (32-bit, Windows), where
# the installed libraries do not fit.
option(PATHBLOOM_GTEST_FROM_SOURCE "Build GoogleTest from source for the target" OFF)
set(PATHBLOOM_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (with googletest/ and googlemock/)")

if(PATHBLOOM_GTEST_FROM_SOURCE)
  if(NOT TARGET gtest)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${PATHBLOOM_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Third-party code: its warnings are not ours to fail on.
    foreach(gtestTarget gtest gtest_main gmock gmock_main)
      target_compile_options(${gtestTarget} PRIVATE -w)
    endforeach()
  endif()
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
    add_library(GTest::gmock_main ALIAS gmock_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
