// Debug lines of the engine, through the plugin's debug log (standard error
// when CORVANE_DEBUG is set and not "0"). Any thread.
#ifndef CORVANE_PLATFORM_GST_DEBUG_LOG_H_
#define CORVANE_PLATFORM_GST_DEBUG_LOG_H_

#include <string>

namespace corvane::platform::gst {

// `text` is written as it reads, after "CorvanePlugin: ", with a line feed.
void DebugLine(const std::string& text);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_DEBUG_LOG_H_
