# corvane_add_test(NAME <target> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s])
#
# One GoogleTest executable, its tests discovered when ctest runs (so a
# sanitizer build does not run the binary at build time). Labels choose what
# runs where: "tsan" marks the threading-heavy suites that the
# ThreadSanitizer build runs; "media" marks suites that play real media.
if(CMAKE_CROSSCOMPILING)
  # Debian's GoogleTest libraries are Linux objects: a cross build compiles
  # GoogleTest from Debian's sources with the cross compiler.
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest 1.12 defines the GTest:: names itself; older ones do not.
  foreach(library gtest gtest_main gmock)
    if(NOT TARGET GTest::${library})
      add_library(GTest::${library} ALIAS ${library})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

function(corvane_add_test)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  # The properties travel through test discovery as one flat list, which
  # splits any list value: an empty LABELS would shift the pairs and a second
  # label would become a property name. So the labels are joined into one
  # ("media,tsan"); `ctest -L` matches labels by regular expression, so
  # `-L tsan` still selects it.
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(JOIN ARG_LABELS "," labels)
    list(APPEND properties LABELS ${labels})
  endif()
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ${properties}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
endfunction()
