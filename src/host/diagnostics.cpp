#include "host/diagnostics.h"

#include <cstdio>
#include <string>

namespace flutter::internal {

void WriteDiagnosticLine(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line);
  text.push_back('\n');
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace flutter::internal
