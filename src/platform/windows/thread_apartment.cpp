#include "platform/thread_apartment.h"

#include <objbase.h>

namespace corvane::platform {

// A fresh thread of ours is in no apartment yet, so joining answers S_OK
// (S_FALSE should a scope be nested); both are balanced by CoUninitialize.
ThreadApartment::ThreadApartment() noexcept
    : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}

ThreadApartment::~ThreadApartment() {
  if (joined_) CoUninitialize();
}

bool InThreadApartment() noexcept {
  APTTYPE type = APTTYPE_CURRENT;
  APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return false;
  return qualifier != APTTYPEQUALIFIER_IMPLICIT_MTA;
}

}  // namespace corvane::platform
