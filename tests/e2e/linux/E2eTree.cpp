// Starts a small known process tree for the end-to-end test and keeps it until it is told to end.
// Usage: proccpu_e2e_tree BUSY PERCENT SLEEPER NICED
//   BUSY runs as a child burning PERCENT of one core and starts SLEEPER as its own child;
//   NICED (a sleep binary) runs as a second child at nice 19.
// Prints "role pid" per started process, then waits; SIGTERM ends the children by PID and itself.
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <initializer_list>

namespace {

constexpr int lowestPriority = 19;
constexpr char sleepSeconds[] = "300";

// In the child: die with the parent, so a killed test leaves nothing behind.
void dieWithParent() { prctl(PR_SET_PDEATHSIG, SIGKILL); }

pid_t startChild(char* const argv[], bool niced) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  dieWithParent();
  if (niced) setpriority(PRIO_PROCESS, 0, lowestPriority);
  execv(argv[0], argv);
  _exit(127);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s BUSY PERCENT SLEEPER NICED\n", argv[0]);
    return 2;
  }
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGINT);
  sigprocmask(SIG_BLOCK, &ending, nullptr);

  char* busyArgs[] = {argv[1], argv[2], argv[3], nullptr};
  char* nicedArgs[] = {argv[4], const_cast<char*>(sleepSeconds), nullptr};
  const pid_t busy = startChild(busyArgs, false);
  const pid_t niced = startChild(nicedArgs, true);
  std::printf("tree %d\nbusy %d\nniced %d\n", static_cast<int>(getpid()), static_cast<int>(busy),
              static_cast<int>(niced));
  std::fflush(stdout);

  int signal = 0;
  sigwait(&ending, &signal);
  for (const pid_t child : {busy, niced}) {
    if (child > 0) kill(child, SIGTERM);
  }
  for (const pid_t child : {busy, niced}) {
    if (child > 0) waitpid(child, nullptr, 0);
  }
  return 0;
}
