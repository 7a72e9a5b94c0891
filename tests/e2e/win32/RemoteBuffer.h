// A block of memory inside another process, for messages whose pointers the target must be able to follow.
#pragma once

#include <windows.h>

#include <cstddef>

#include "OwnedHandle.h"

namespace e2e {

// Committed read-write pages in the target process, freed with the object.
class RemoteBuffer {
 public:
  RemoteBuffer(DWORD processId, std::size_t size);
  ~RemoteBuffer();
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool valid() const { return base_ != nullptr; }
  // The address as the target process sees it.
  char* at(std::size_t offset) const { return static_cast<char*>(base_) + offset; }
  bool write(std::size_t offset, const void* data, std::size_t size) const;
  bool read(std::size_t offset, void* data, std::size_t size) const;

 private:
  OwnedHandle process_;
  void* base_ = nullptr;
};

}  // namespace e2e
