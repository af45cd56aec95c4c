// Result codes of the media engine and surface device, and the exception
// that carries a failing one.
//
// The player speaks the Windows media engine's vocabulary: every operation
// either succeeds or raises `hresult_error` with a 32-bit result code, and
// every notification handler returns one. The Linux engine uses the same
// codes so that the player code is the same on both systems.
#ifndef CORVANE_PLATFORM_HRESULT_H_
#define CORVANE_PLATFORM_HRESULT_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace corvane::platform {

using hresult = int32_t;

inline constexpr hresult kOk = 0;                                   // S_OK
inline constexpr hresult kFalse = 1;                                // S_FALSE
inline constexpr hresult kFail = static_cast<hresult>(0x80004005);  // E_FAIL
inline constexpr hresult kNotImplemented = static_cast<hresult>(0x80004001);  // E_NOTIMPL
inline constexpr hresult kOutOfMemory = static_cast<hresult>(0x8007000E);     // E_OUTOFMEMORY
inline constexpr hresult kInvalidArgument = static_cast<hresult>(0x80070057);  // E_INVALIDARG
inline constexpr hresult kBoundsError = static_cast<hresult>(0x8000000B);      // E_BOUNDS
inline constexpr hresult kIllegalMethodCall = static_cast<hresult>(0x8000000E);  // E_ILLEGAL_METHOD_CALL
inline constexpr hresult kObjectClosed = static_cast<hresult>(0x80000013);       // RO_E_CLOSED
inline constexpr hresult kNoInterface = static_cast<hresult>(0x80004002);        // E_NOINTERFACE

inline constexpr bool Succeeded(hresult code) { return code >= 0; }
inline constexpr bool Failed(hresult code) { return code < 0; }

// A failing engine or device operation. `code()` is always a failure code.
class hresult_error : public std::runtime_error {
 public:
  explicit hresult_error(hresult code, const std::string& message = {})
      : std::runtime_error(message.empty() ? "engine operation failed" : message), code_(code) {}
  hresult code() const noexcept { return code_; }

 private:
  hresult code_;
};

// Runs `body` and turns what it raises into a result code, the way every
// engine delegate hands a failure back to the engine: an hresult_error gives
// its own code, bad_alloc E_OUTOFMEMORY, out_of_range E_BOUNDS,
// invalid_argument E_INVALIDARG, anything else E_FAIL.
template <typename Body>
hresult ToHresult(Body&& body) noexcept {
  try {
    body();
    return kOk;
  } catch (const hresult_error& error) {
    return error.code();
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (const std::out_of_range&) {
    return kBoundsError;
  } catch (const std::invalid_argument&) {
    return kInvalidArgument;
  } catch (...) {
    return kFail;
  }
}

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_HRESULT_H_
