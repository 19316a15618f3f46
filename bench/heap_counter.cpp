#include "bench/heap_counter.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
}

namespace {
std::size_t live = 0;
std::size_t peak = 0;

// Every block carries a header just before it with the size asked for and
// the start of what the C library handed out; counting the sizes asked for
// (not the usable sizes, which depend on the free lists) makes the figures
// repeatable.
struct Header {
  std::size_t size;
  void* raw;
};
constexpr std::size_t kHeaderRoom = 16;
static_assert(sizeof(Header) <= kHeaderRoom, "header does not fit");

void* Place(void* raw, std::size_t offset, std::size_t size) {
  if (!raw) return nullptr;
  unsigned char* user = static_cast<unsigned char*>(raw) + offset;
  Header* header = reinterpret_cast<Header*>(user - sizeof(Header));
  header->size = size;
  header->raw = raw;
  live += size;
  if (live > peak) peak = live;
  return user;
}

Header* HeaderOf(void* p) {
  return reinterpret_cast<Header*>(static_cast<unsigned char*>(p) - sizeof(Header));
}

void* Allocate(std::size_t alignment, std::size_t size) {
  if (alignment <= kHeaderRoom) return Place(__libc_malloc(size + kHeaderRoom), kHeaderRoom, size);
  return Place(__libc_memalign(alignment, size + alignment), alignment, size);
}
}  // namespace

namespace heap_counter {
std::size_t Live() { return live; }
void ResetPeak() { peak = live; }
std::size_t Peak() { return peak; }
}  // namespace heap_counter

// Single-threaded benchmarks only: the counters are plain variables.
extern "C" {
void* malloc(size_t size) { return Allocate(kHeaderRoom, size); }
void* calloc(size_t count, size_t size) {
  if (size != 0 && count > static_cast<size_t>(-1) / size) return nullptr;
  void* p = Allocate(kHeaderRoom, count * size);
  if (p) std::memset(p, 0, count * size);
  return p;
}
void free(void* p) {
  if (!p) return;
  Header* header = HeaderOf(p);
  live -= header->size;
  __libc_free(header->raw);
}
void* realloc(void* p, size_t size) {
  if (!p) return malloc(size);
  if (size == 0) {
    free(p);
    return nullptr;
  }
  void* q = malloc(size);
  if (!q) return nullptr;
  std::memcpy(q, p, std::min(size, HeaderOf(p)->size));
  free(p);
  return q;
}
void* memalign(size_t alignment, size_t size) { return Allocate(alignment, size); }
void* aligned_alloc(size_t alignment, size_t size) { return Allocate(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* p = Allocate(alignment, size);
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}
size_t malloc_usable_size(void* p) { return p ? HeaderOf(p)->size : 0; }
}
