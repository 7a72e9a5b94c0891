// Closes a kernel handle when its owner goes.
#pragma once

#include <windows.h>

namespace e2e {

// Owns one kernel handle; closes it once.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

}  // namespace e2e
