#include "player/source_uri.h"

#include "host/utf8.h"
#include "platform/media_engine.h"

namespace corvane::player {
namespace {

constexpr char kAssetPrefix[] = "asset://";
constexpr char kFilePrefix[] = "file://";
constexpr char kAssetFolder[] = "data/flutter_assets/";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Only the characters that would otherwise end the path part of the URI, or
// start an escape, are encoded, and bytes that are not UTF-8 (a Linux file
// name is bytes; a URI string must be text): the rest reaches the engine as
// written.
std::string EncodePath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path.size());
  for (size_t at = 0; at < path.size();) {
    const char c = path[at];
    if (static_cast<unsigned char>(c) >= 0x80) {
      const size_t length = flutter::internal::Utf8SequenceLength(path, at);
      if (length > 0) {
        encoded.append(path, at, length);
        at += length;
      } else {
        const auto byte = static_cast<unsigned char>(c);
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0xF];
        ++at;
      }
      continue;
    }
    switch (c) {
      case '%': encoded += "%25"; break;
      case '#': encoded += "%23"; break;
      case '?': encoded += "%3F"; break;
      case ' ': encoded += "%20"; break;
      default: encoded += c;
    }
    ++at;
  }
  return encoded;
}

std::string ForwardSlashes(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

// The executable's folder with its trailing separator; empty when the path
// holds no separator.
std::string ExecutableFolder(const SourceLocation& location) {
  const char separator = location.style == PathStyle::Windows ? '\\' : '/';
  const size_t last = location.executablePath.rfind(separator);
  if (last == std::string::npos) return {};
  return location.executablePath.substr(0, last + 1);
}

std::string AssetUri(const std::string& key, const SourceLocation& location) {
  // An asset key is a logical key in Flutter's asset bundle, not a path of
  // this system: its backslashes separate folders on every platform.
  std::string path = ExecutableFolder(location) + kAssetFolder + ForwardSlashes(key);
  if (location.style == PathStyle::Windows) path = ForwardSlashes(path);
  return kFilePrefix + EncodePath(path);
}

std::string LocalPathUri(const std::string& input, const SourceLocation& location) {
  if (location.style == PathStyle::Windows) return kFilePrefix + EncodePath(ForwardSlashes(input));
  std::string path = input;
  if (!StartsWith(path, "/")) {
    std::string folder = location.workingDirectory;
    if (folder.empty() || folder.back() != '/') folder += '/';
    path = folder + path;
  }
  return kFilePrefix + EncodePath(path);
}

}  // namespace

ResolvedSource ResolveSourceUri(const std::string& input, const SourceLocation& location) {
  if (StartsWith(input, kAssetPrefix)) {
    return {AssetUri(input.substr(sizeof kAssetPrefix - 1), location), false};
  }
  if (input.find("://") != std::string::npos) return {input, platform::IsRemoteUri(input)};
  return {LocalPathUri(input, location), false};
}

}  // namespace corvane::player
