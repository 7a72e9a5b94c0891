// Memory in the target process through VirtualAllocEx, WriteProcessMemory and ReadProcessMemory.
#include "RemoteBuffer.h"

namespace e2e {

namespace {
constexpr DWORD processAccess =
    PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION;
}

RemoteBuffer::RemoteBuffer(DWORD processId, std::size_t size)
    : process_(OpenProcess(processAccess, FALSE, processId)) {
  if (!process_.valid()) return;
  base_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
  if (base_ != nullptr) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
}

bool RemoteBuffer::write(std::size_t offset, const void* data, std::size_t size) const {
  SIZE_T done = 0;
  return base_ != nullptr && WriteProcessMemory(process_.get(), at(offset), data, size, &done) &&
         done == size;
}

bool RemoteBuffer::read(std::size_t offset, void* data, std::size_t size) const {
  SIZE_T done = 0;
  return base_ != nullptr && ReadProcessMemory(process_.get(), at(offset), data, size, &done) && done == size;
}

}  // namespace e2e
