// SignalCleanup: files that must not outlive a process that a signal ends. The runeflow command writes
// its result into a new file beside the one it replaces; when an interrupt, a hang-up, a termination,
// a broken pipe or a file-size or CPU limit ends the run, that new file is removed first, and the
// process then ends as the signal would have ended it (same signal, same exit status for the shell).
#ifndef RUNEFLOW_CLI_SIGNAL_CLEANUP_H
#define RUNEFLOW_CLI_SIGNAL_CLEANUP_H

#include <cstddef>

#ifndef _WIN32
#include <signal.h>
#endif

// Every member is static: the files and the signal handlers belong to the process. Entries may be
// taken and given back from several threads at once; the handler needs no lock.
class SignalCleanup {
 public:
  static const int kCapacity = 128;  // files registered at once
#ifdef _WIN32
  static const size_t kNameSize = 260;  // a file's full path, terminator included
#else
  static const size_t kNameSize = 32;  // a file's name in its directory, terminator included
#endif

  // Holds back, in the calling thread, the signals that remove files, until it is destroyed; a signal
  // that came meanwhile is delivered then. Creating a file and arming its entry, or renaming or removing
  // it and releasing its entry, happen under one, so that a signal in this thread finds the file with
  // its entry or not at all. (Windows delivers console signals in a thread of their own: nothing to do.)
  class Deferral {
   public:
    Deferral();
    ~Deferral();
    Deferral(const Deferral &) = delete;
    Deferral &operator=(const Deferral &) = delete;

   private:
#ifndef _WIN32
    sigset_t previous_;  // the thread's signal mask before
#endif
  };

  // Takes an entry for a file about to be created, and installs the handlers on first use (a signal
  // ignored then stays ignored). Until Arm or Release, a signal handled in another thread waits for the
  // entry, at most a second. Returns the entry, or -1 when kCapacity entries are in use.
  static int Reserve();
  // The file of the entry now exists: on POSIX name in the directory open as directory, which must stay
  // open until Release; on Windows the full path name. A name of kNameSize characters or more is not
  // armed (a signal leaves that file), since a cut name could be another file's.
  static void Arm(int entry, int directory, const char *name);
  // Gives the entry back once its file was renamed or removed, or when it was never created. Should a
  // signal in another thread already be removing the file, the process is ending: this never returns.
  static void Release(int entry);
};

#endif
