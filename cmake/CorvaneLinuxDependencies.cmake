# What the plugin's sources (src/) need from the system on Linux, found the
# same way by our own top-level build and by a Flutter Linux app's build
# (linux/CMakeLists.txt): GLib, GStreamer, Pango/Cairo and libyuv.
include_guard(GLOBAL)

find_package(PkgConfig REQUIRED)
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0 gobject-2.0)
pkg_check_modules(GST REQUIRED IMPORTED_TARGET
  gstreamer-1.0 gstreamer-app-1.0 gstreamer-video-1.0 gstreamer-audio-1.0 gstreamer-pbutils-1.0 gstreamer-tag-1.0)
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
# Debian's libyuv ships no pkg-config file. (Checked by hand rather than
# with REQUIRED, which an app's older CMake may not know.)
find_path(LIBYUV_INCLUDE_DIR libyuv.h)
find_library(LIBYUV_LIBRARY yuv)
if(NOT LIBYUV_INCLUDE_DIR OR NOT LIBYUV_LIBRARY)
  message(FATAL_ERROR "libyuv not found (Debian: libyuv-dev)")
endif()
add_library(corvane_libyuv INTERFACE)
target_include_directories(corvane_libyuv INTERFACE ${LIBYUV_INCLUDE_DIR})
target_link_libraries(corvane_libyuv INTERFACE ${LIBYUV_LIBRARY})
