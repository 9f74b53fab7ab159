// Quit signals. A Linux user ends a program with Ctrl+C (SIGINT), SIGTERM or
// by closing its terminal (SIGHUP); the program must still run its teardown.
// The handler only notes the signal. The next look at the message queue turns
// it into WM_QUIT with exit code 128 + the signal number, which ends every
// frame loop of the program as Windows would end it, and the program's
// normal teardown follows. A second signal of the same kind ends the process
// at once (the handler gives way to the default action after the first).
#include <signal.h>

#include "platform/win32/win32_internal.h"

namespace vorn::win32 {

namespace {

volatile sig_atomic_t gPendingSignal = 0;

void onQuitSignal(int signal) { gPendingSignal = signal; }

}  // namespace

void installQuitSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    // A signal ignored (nohup) or handled by someone else (a tool) stays so.
    if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
}

int takeQuitSignal() {
  const int signal = gPendingSignal;
  if (signal) gPendingSignal = 0;
  return signal;
}

}  // namespace vorn::win32
