// Memory in the target process through VirtualAllocEx, WriteProcessMemory and ReadProcessMemory.
#include "RemoteBuffer.h"

#include <algorithm>
#include <vector>

namespace e2e {

namespace {
constexpr DWORD processAccess =
    PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION;
constexpr std::size_t pageSize = 0x1000;
constexpr std::size_t maxShiftPages = 16;
constexpr std::size_t slackAlign = 16;
}  // namespace

RemoteBuffer::RemoteBuffer(DWORD processId, std::size_t size, const void* imageBase, Placement placement)
    : process_(OpenProcess(processAccess, FALSE, processId)), size_(size), placement_(placement) {
  if (!process_.valid()) return;
  const auto* image = static_cast<const char*>(imageBase);
  shift_ = findShift(image);
  if (placement == Placement::Allocated)
    base_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  else if (image != nullptr && shift_ != SIZE_MAX)
    base_ = findSlack(image);
  if (shift_ == SIZE_MAX) shift_ = 0;
}

RemoteBuffer::~RemoteBuffer() {
  if (base_ == nullptr) return;
  if (placement_ == Placement::Allocated) {
    VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
    return;
  }
  const std::vector<char> zeros(size_, 0);
  rawWrite(at(0), zeros.data(), size_);
}

bool RemoteBuffer::rawRead(const char* address, void* data, std::size_t size) const {
  SIZE_T done = 0;
  return ReadProcessMemory(process_.get(), address + shift_, data, size, &done) && done == size;
}

bool RemoteBuffer::rawWrite(char* address, const void* data, std::size_t size) const {
  SIZE_T done = 0;
  return WriteProcessMemory(process_.get(), address + shift_, data, size, &done) && done == size;
}

std::size_t RemoteBuffer::findShift(const char* image) const {
  if (image == nullptr) return 0;
  for (std::size_t pages = 0; pages < maxShiftPages; ++pages) {
    SIZE_T done = 0;
    IMAGE_DOS_HEADER dos{};
    DWORD signature = 0;
    const char* at = image + pages * pageSize;
    if (ReadProcessMemory(process_.get(), at, &dos, sizeof dos, &done) &&
        dos.e_magic == IMAGE_DOS_SIGNATURE &&
        ReadProcessMemory(process_.get(), at + dos.e_lfanew, &signature, sizeof signature, &done) &&
        signature == IMAGE_NT_SIGNATURE)
      return pages * pageSize;
  }
  return SIZE_MAX;
}

// The end of the writable section with the most room between its data and the end of its last page.
char* RemoteBuffer::findSlack(const char* image) const {
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS32 nt{};
  if (!rawRead(image, &dos, sizeof dos) || !rawRead(image + dos.e_lfanew, &nt, sizeof nt)) return nullptr;
  std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
  const char* table = image + dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                      nt.FileHeader.SizeOfOptionalHeader;
  if (!rawRead(table, sections.data(), sections.size() * sizeof(IMAGE_SECTION_HEADER))) return nullptr;
  char* best = nullptr;
  std::size_t bestRoom = 0;
  for (const auto& section : sections) {
    if ((section.Characteristics & IMAGE_SCN_MEM_WRITE) == 0) continue;
    const std::size_t used = (section.Misc.VirtualSize + slackAlign - 1) / slackAlign * slackAlign;
    const std::size_t end = (section.Misc.VirtualSize + pageSize - 1) / pageSize * pageSize;
    if (end > used && end - used > bestRoom) {
      bestRoom = end - used;
      best = const_cast<char*>(image) + section.VirtualAddress + used;
    }
  }
  return bestRoom >= size_ ? best : nullptr;
}

bool RemoteBuffer::write(std::size_t offset, const void* data, std::size_t size) const {
  return base_ != nullptr && offset + size <= size_ && rawWrite(at(offset), data, size);
}

bool RemoteBuffer::read(std::size_t offset, void* data, std::size_t size) const {
  return base_ != nullptr && offset + size <= size_ && rawRead(at(offset), data, size);
}

}  // namespace e2e
