// A child process for live tests: renamed so counters can find it, idle or busy, killed at scope end.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace proccpu::platform::linux_services::testing {

class ChildProcess {
 public:
  enum class Work { idle, busy };

  /// Forks a child named "<prefix><parent pid>" (under 15 bytes) that idles or burns CPU until killed;
  /// returns once the child has renamed itself.
  ChildProcess(const std::string& prefix, Work work) : name_(prefix + std::to_string(::getpid())) {
    int ready[2];
    if (::pipe(ready) != 0) {
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_NAME, name_.c_str(), 0, 0, 0);
      [[maybe_unused]] const ssize_t written = ::write(ready[1], "r", 1);
      runForever(work);
    }
    ::close(ready[1]);
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { stop(); }

  pid_t pid() const { return pid_; }
  const std::string& name() const { return name_; }

  /// Kills and reaps the child, so its PID no longer names a process.
  void stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  [[noreturn]] static void runForever(Work work) {
    volatile unsigned long spins = 0;
    while (true) {
      if (work == Work::busy) {
        spins = spins + 1;
      } else {
        ::pause();
      }
    }
  }

  std::string name_;
  pid_t pid_ = -1;
};

}  // namespace proccpu::platform::linux_services::testing
