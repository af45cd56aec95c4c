// Turns the string Dart passes to "open" into the URI the engine opens.
//
// Three forms, tried in this order:
//   asset   "asset://KEY"     -> file URI of KEY under data/flutter_assets/
//                                beside the executable; backslashes in KEY
//                                become '/' on every platform;
//   URL     anything with "://" -> unchanged; remote unless it starts with
//                                "file://" (both prefixes case-sensitive);
//   path    everything else   -> file URI of the path.
// In the asset and path forms '%', '#', '?' and ' ' are percent-encoded, so
// that a file whose name holds them is found rather than cut at a fragment
// or query, and so is each byte that is not part of well-formed UTF-8. A pure function: the executable path, working directory and path
// style come in as arguments, so the Windows forms are testable anywhere.
#ifndef CORVANE_PLAYER_SOURCE_URI_H_
#define CORVANE_PLAYER_SOURCE_URI_H_

#include <string>

namespace corvane::player {

enum class PathStyle {
  // Backslashes separate folders and become '/'; a drive letter follows
  // "file://" directly; relative paths are passed on as they are.
  Windows,
  // '/' separates folders; a relative path is taken relative to the
  // working directory.
  Posix,
};

struct SourceLocation {
  std::string executablePath;    // full path of the running executable
  std::string workingDirectory;  // absolute; used by Posix relative paths
  PathStyle style = PathStyle::Posix;
};

struct ResolvedSource {
  std::string uri;
  bool isRemote = false;  // a URL whose scheme is not "file://"
};

ResolvedSource ResolveSourceUri(const std::string& input, const SourceLocation& location);

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_SOURCE_URI_H_
