/* Preloaded into Wine's emulated 32-bit processes: refuses at once the address-space reservations
 * above 2 GiB that qemu 7.2 user mode cannot place where asked. Without it Wine retries each 64 KiB
 * piece of that area, which costs minutes per process. Built without system headers, which the
 * machine has only for 64-bit programs. */
typedef unsigned int size_t;
typedef long off_t;
typedef long long off64_t;

extern void* dlsym(void* handle, const char* name);
extern int* __errno_location(void);

static void* const nextObject = (void*)-1l; /* RTLD_NEXT */
static const int mapFixedNoReplace = 0x100000;
static const int errorExists = 17; /* EEXIST: what Wine expects for an occupied area */
static const unsigned long refusedFrom = 0x80000000ul;

typedef void* (*MmapRoutine)(void*, size_t, int, int, int, off_t);
typedef void* (*Mmap64Routine)(void*, size_t, int, int, int, off64_t);

static int refused(void* address, int flags) {
  if ((flags & mapFixedNoReplace) == 0 || (unsigned long)address < refusedFrom) return 0;
  *__errno_location() = errorExists;
  return 1;
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  static MmapRoutine next;
  if (refused(address, flags)) return (void*)-1;
  if (!next) next = (MmapRoutine)dlsym(nextObject, "mmap");
  return next(address, length, protection, flags, fd, offset);
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off64_t offset) {
  static Mmap64Routine next;
  if (refused(address, flags)) return (void*)-1;
  if (!next) next = (Mmap64Routine)dlsym(nextObject, "mmap64");
  return next(address, length, protection, flags, fd, offset);
}
