// The apartment of a thread of ours, for the thread's whole life.
//
// On Windows a thread that calls the Windows Runtime must be in a COM
// apartment. A call from one that never joined works only while some other
// thread of the process happens to keep the multithreaded apartment alive
// (the implicit one), and fails once none does. So every thread of ours that
// may call the runtime (the engine threads and the redraw worker, through
// EngineThread) joins the multithreaded apartment when it starts and leaves
// it when it ends. The runtime's own threads come in one already, and so
// does the host's platform thread (the single-threaded apartment the
// platform layer sets up).
//
// Linux has no apartments. There the scope only notes, per thread, that it
// was entered: the Windows adapter runs natively against fakes of the
// runtime, and the fakes check every call against that note.
#ifndef CORVANE_PLATFORM_THREAD_APARTMENT_H_
#define CORVANE_PLATFORM_THREAD_APARTMENT_H_

namespace corvane::platform {

// Joins on construction and leaves on destruction, on the same thread: a
// local at the top of the thread's function.
class ThreadApartment {
 public:
  ThreadApartment() noexcept;
  ~ThreadApartment();
  ThreadApartment(const ThreadApartment&) = delete;
  ThreadApartment& operator=(const ThreadApartment&) = delete;

 private:
  // Whether joining succeeded, so that leaving is owed.
  bool joined_ = false;
};

// Whether the calling thread is in an apartment of its own: Windows counts
// any COM apartment but the implicit multithreaded one. What the runtime's
// fakes check of each call; the adapters themselves never need to ask.
bool InThreadApartment() noexcept;

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_THREAD_APARTMENT_H_
