// A COM single-threaded apartment for the duration of a scope, as the
// plugin sets one up on its platform thread.
#ifndef CORVANE_TESTS_WINDOWS_PLATFORM_APARTMENT_H_
#define CORVANE_TESTS_WINDOWS_PLATFORM_APARTMENT_H_

#include <objbase.h>

namespace corvane::test {

class ScopedApartment {
 public:
  ScopedApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ScopedApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ScopedApartment(const ScopedApartment&) = delete;
  ScopedApartment& operator=(const ScopedApartment&) = delete;
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace corvane::test

#endif  // CORVANE_TESTS_WINDOWS_PLATFORM_APARTMENT_H_
