#include "flutter_linux/main_thread.h"

#include <exception>
#include <memory>
#include <string>

#include "host/diagnostics.h"

namespace corvane::flutter_linux {
namespace {

using Task = std::function<void()>;

void RunGuarded(const Task& task) {
  // Nothing may unwind into GLib's C frames.
  try {
    task();
  } catch (const std::exception& error) {
    flutter::internal::WriteDiagnosticLine(std::string("Exception from a main-thread task: ") + error.what());
  } catch (...) {
    flutter::internal::WriteDiagnosticLine("Unknown exception from a main-thread task");
  }
}

gboolean RunPostedTask(gpointer data) {
  RunGuarded(*static_cast<Task*>(data));
  return G_SOURCE_REMOVE;
}

void DeletePostedTask(gpointer data) { std::unique_ptr<Task> adopted(static_cast<Task*>(data)); }

}  // namespace

MainThread::MainThread()
    : thread_(std::this_thread::get_id()), context_(g_main_context_ref_thread_default()) {}  // Adopt

void MainThread::Post(Task task) const {
  platform::SourcePtr source(g_idle_source_new());  // Adopt
  g_source_set_priority(source.get(), G_PRIORITY_DEFAULT);
  auto owned = std::make_unique<Task>(std::move(task));
  // The source owns the task from here and frees it through DeletePostedTask.
  g_source_set_callback(source.get(), &RunPostedTask, owned.release(), &DeletePostedTask);
  g_source_attach(source.get(), context_.get());
}

void MainThread::Run(Task task) const {
  if (IsCurrent()) {
    RunGuarded(task);
  } else {
    Post(std::move(task));
  }
}

}  // namespace corvane::flutter_linux
