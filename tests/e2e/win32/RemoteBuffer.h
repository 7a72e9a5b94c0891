// A block of memory inside another process, for messages whose pointers the target must be able to follow.
#pragma once

#include <windows.h>

#include <cstddef>

#include "OwnedHandle.h"

namespace e2e {

// Where the block comes from. Allocated: fresh pages from VirtualAllocEx, freed with the object.
// ImageSlack: the unused tail of a writable section of the target's executable, for Wine under qemu user
// mode, where allocating in another process never returns; it is zeroed again with the object.
enum class Placement { Allocated, ImageSlack };

class RemoteBuffer {
 public:
  // imageBase is the target's executable as the target sees it (its windows' instance handle).
  RemoteBuffer(DWORD processId, std::size_t size, const void* imageBase, Placement placement);
  ~RemoteBuffer();
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool valid() const { return base_ != nullptr; }
  // The address as the target process sees it.
  char* at(std::size_t offset) const { return static_cast<char*>(base_) + offset; }
  bool write(std::size_t offset, const void* data, std::size_t size) const;
  bool read(std::size_t offset, void* data, std::size_t size) const;

 private:
  bool rawRead(const char* address, void* data, std::size_t size) const;
  bool rawWrite(char* address, const void* data, std::size_t size) const;
  std::size_t findShift(const char* image) const;
  char* findSlack(const char* image) const;

  OwnedHandle process_;
  std::size_t size_;
  Placement placement_;
  // Under qemu user mode the system reads the target's memory a fixed distance from where the target
  // sees it; the distance is found from the executable's header, and is 0 elsewhere.
  std::size_t shift_ = 0;
  void* base_ = nullptr;
};

}  // namespace e2e
