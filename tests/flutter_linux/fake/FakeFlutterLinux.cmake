# corvane_add_fake_flutter_linux(<library> <flutter>)
#
# Defines <library>, our fake of the Flutter Linux embedding
# (libflutter_linux_gtk.so: <flutter_linux/flutter_linux.h> and an engine
# that tests drive, <fake_flutter_linux/engine.h>), and <flutter>, an
# INTERFACE target standing in for a Flutter Linux app's `flutter` target:
# the embedding's headers and library, with GTK, GLib and GIO. Used by the
# main build's tests and by the app stand-in (tests/flutter_linux_app);
# the caller has found GTK 3 as PkgConfig::GTK, as an app's CMake does.
include_guard(GLOBAL)

set(CORVANE_FAKE_FLUTTER_LINUX_DIR ${CMAKE_CURRENT_LIST_DIR})

function(corvane_add_fake_flutter_linux library flutter)
  find_package(Threads REQUIRED)
  set(dir ${CORVANE_FAKE_FLUTTER_LINUX_DIR})
  add_library(${library} SHARED ${dir}/engine.cpp ${dir}/engine_core.cpp ${dir}/fl_objects.cpp)
  set_target_properties(${library} PROPERTIES OUTPUT_NAME flutter_linux_gtk CXX_STANDARD 17)
  target_include_directories(${library} PUBLIC ${dir}/include)
  target_link_libraries(${library} PUBLIC PkgConfig::GTK Threads::Threads)

  add_library(${flutter} INTERFACE)
  target_link_libraries(${flutter} INTERFACE ${library})
endfunction()
