// Starts a small known process tree for the end-to-end test and keeps it until it is told to end.
// Usage: proccpu_e2e_tree BUSY PERCENT SLEEPER NICED [OTHER...]
//   BUSY runs as a child burning PERCENT of one core and starts SLEEPER as its own child;
//   NICED (a sleep binary) runs as a second child at nice 19; each OTHER (a sleep binary) as a child too.
// Prints "role pid" per started process, then waits; SIGTERM ends the children by PID and itself.
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <vector>

namespace {

constexpr int lowestPriority = 19;
constexpr char sleepSeconds[] = "300";
constexpr int firstOther = 5;

sigset_t endingSignals() {
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGINT);
  return ending;
}

pid_t startChild(char* const argv[], bool niced) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // Die with the parent, so a killed test leaves nothing behind; take signals as usual again.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const sigset_t ending = endingSignals();
  sigprocmask(SIG_UNBLOCK, &ending, nullptr);
  if (niced) setpriority(PRIO_PROCESS, 0, lowestPriority);
  execv(argv[0], argv);
  _exit(127);
}

pid_t startSleeper(char* path, bool niced) {
  char* args[] = {path, const_cast<char*>(sleepSeconds), nullptr};
  return startChild(args, niced);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < firstOther) {
    std::fprintf(stderr, "usage: %s BUSY PERCENT SLEEPER NICED [OTHER...]\n", argv[0]);
    return 2;
  }
  // Blocked before any child exists, so an early SIGTERM still ends the children below.
  const sigset_t ending = endingSignals();
  sigprocmask(SIG_BLOCK, &ending, nullptr);

  char* busyArgs[] = {argv[1], argv[2], argv[3], nullptr};
  std::vector<pid_t> children{startChild(busyArgs, false), startSleeper(argv[4], true)};
  std::printf("tree %d\nbusy %d\nniced %d\n", static_cast<int>(getpid()), static_cast<int>(children[0]),
              static_cast<int>(children[1]));
  for (int index = firstOther; index < argc; ++index) {
    children.push_back(startSleeper(argv[index], false));
    std::printf("other%d %d\n", index - firstOther, static_cast<int>(children.back()));
  }
  std::fflush(stdout);

  int signal = 0;
  sigwait(&ending, &signal);
  for (const pid_t child : children) {
    if (child > 0) kill(child, SIGTERM);
  }
  for (const pid_t child : children) {
    if (child > 0) waitpid(child, nullptr, 0);
  }
  return 0;
}
