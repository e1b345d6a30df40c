// The registry of files to remove when a signal ends the process, and the handler that removes them.
// The handler may run in any thread at any moment, so the registry is a fixed array of entries whose
// state changes only by atomic exchanges, and the handler calls only async-signal-safe functions.
#include "cli/signal_cleanup.h"

#include <atomic>
#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#include <csignal>
#else
#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

// An entry's life: free, reserved (its file is being created), armed (the file exists) or held (its
// file cannot be named), taken (the handler is removing it; the process is ending). Only Reserve
// leaves free, only the handler takes.
enum State { kFree, kReserved, kArmed, kHeld, kTaken };

struct Entry {
  std::atomic<int> state{kFree};
  int directory = -1;                         // open directory of the file (POSIX)
  char name[SignalCleanup::kNameSize] = {};  // the file's name in it (POSIX) or its full path (Windows)
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs lock-free entry states");

Entry entries[SignalCleanup::kCapacity];

// The signals whose default action ends the process and that a user or the system sends to end a
// run; fatal errors of the program itself (segmentation faults and the like) are left alone.
#ifdef _WIN32
const int kSignals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
const int kSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGPIPE, SIGALRM, SIGTERM,
                        SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGUSR1, SIGUSR2};
#endif

void RemoveFile(const Entry &entry) {
#ifdef _WIN32
  DeleteFileA(entry.name);  // the file is shared for deletion: it goes when the process has ended
#else
  unlinkat(entry.directory, entry.name, 0);
#endif
}

// Waits a millisecond (async-signal-safe).
void Pause() {
#ifdef _WIN32
  Sleep(1);
#else
  const timespec millisecond = {0, 1000000};
  nanosleep(&millisecond, nullptr);
#endif
}

// Removes every armed file. A file being created in another thread is waited for, at most a second
// in all, so that it is not left behind.
void RemoveAll() {
  int waits = 1000;
  for (Entry &entry : entries) {
    int state = entry.state.load();
    while (state == kReserved && waits-- > 0) {
      Pause();
      state = entry.state.load();
    }
    if (state == kArmed && entry.state.compare_exchange_strong(state, kTaken)) RemoveFile(entry);
  }
}

// Removes the files, then ends the process by the same signal with its default action.
extern "C" void EndBySignal(int signal) {
  RemoveAll();
#ifdef _WIN32
  std::signal(signal, SIG_DFL);
  std::raise(signal);
#else
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);  // held back until the handler returns, then delivered with the default action
#endif
}

void InstallHandlers() {
#ifdef _WIN32
  for (int signal : kSignals) {
    if (std::signal(signal, EndBySignal) == SIG_IGN) std::signal(signal, SIG_IGN);
  }
#else
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = EndBySignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);  // one cleanup at a time
  for (int signal : kSignals) {
    struct sigaction previous;
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
      sigaction(signal, &action, nullptr);
  }
#endif
}

}  // namespace

SignalCleanup::Deferral::Deferral() {
#ifndef _WIN32
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kSignals) sigaddset(&held, signal);
  pthread_sigmask(SIG_BLOCK, &held, &previous_);
#endif
}

SignalCleanup::Deferral::~Deferral() {
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
#endif
}

int SignalCleanup::Reserve() {
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  for (int i = 0; i < kCapacity; ++i) {
    int expected = kFree;
    if (entries[i].state.compare_exchange_strong(expected, kReserved)) return i;
  }
  return -1;
}

void SignalCleanup::Arm(int entry, int directory, const char *name) {
  Entry &armed = entries[entry];
  const size_t length = std::strlen(name);
  if (length >= kNameSize) {  // never cut: a shorter name could be another file's
    armed.state.store(kHeld);
    return;
  }
  armed.directory = directory;
  std::memcpy(armed.name, name, length + 1);
  armed.state.store(kArmed);
}

void SignalCleanup::Release(int entry) {
  int state = entries[entry].state.load();
  while (state != kTaken && !entries[entry].state.compare_exchange_weak(state, kFree)) {
  }
  if (state == kTaken) {
    for (;;) Pause();  // the handler took the file in another thread and ends the process
  }
}
