# corvane_flutter_windows_import(<target>)
#
# Defines <target>, an INTERFACE library that links an import library for
# flutter_windows.dll made from flutter_windows.def (beside this file) with
# the toolchain's dlltool: the plugin DLL then imports the embedding's
# functions by name without the Flutter SDK. Used by the mingw-w64 build of
# the plugin when no `flutter` target exists, and by the Flutter app stand-in
# (tests/flutter_windows_app) for its stub `flutter` target.
include_guard(GLOBAL)

set(CORVANE_FLUTTER_WINDOWS_DEF ${CMAKE_CURRENT_LIST_DIR}/flutter_windows.def)

function(corvane_flutter_windows_import target)
  if(NOT CMAKE_DLLTOOL)
    find_program(CMAKE_DLLTOOL NAMES x86_64-w64-mingw32-dlltool dlltool REQUIRED)
  endif()
  set(library ${CMAKE_CURRENT_BINARY_DIR}/${target}_flutter_windows_import.a)
  add_custom_command(OUTPUT ${library}
    COMMAND ${CMAKE_DLLTOOL} --input-def ${CORVANE_FLUTTER_WINDOWS_DEF} --output-lib ${library}
    DEPENDS ${CORVANE_FLUTTER_WINDOWS_DEF}
    COMMENT "Import library for flutter_windows.dll from flutter_windows.def"
    VERBATIM)
  add_custom_target(${target}_import_library DEPENDS ${library})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE ${library})
  # Followed in the interface library's place by whatever links it.
  add_dependencies(${target} ${target}_import_library)
endfunction()
