#include "harness/alloc_count.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int64_t> g_allocations{0};
std::atomic<alloc_count::Observer> g_observer{nullptr};
std::atomic<int64_t> g_bytes{0};
std::atomic<int64_t> g_peak{0};

void count() {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (const alloc_count::Observer o = g_observer.load(std::memory_order_relaxed)) o();
}

// The size the C library gave a block (at least what was asked for). The
// Windows C library does not tell the size of an aligned block: those (only
// for types aligned beyond the usual) are left out of the bytes there.
size_t block_size(void* p, bool aligned_block) {
  if (p == nullptr) return 0;
#ifdef _WIN32
  return aligned_block ? 0 : _msize(p);
#else
  (void)aligned_block;
  return malloc_usable_size(p);
#endif
}

void* taken(void* p, bool aligned_block) {
  const int64_t now =
      g_bytes.fetch_add(int64_t(block_size(p, aligned_block)), std::memory_order_relaxed) +
      int64_t(block_size(p, aligned_block));
  int64_t peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {}
  return p;
}

void given_back(void* p, bool aligned_block) {
  g_bytes.fetch_sub(int64_t(block_size(p, aligned_block)), std::memory_order_relaxed);
}

// malloc(0) may give a null pointer; operator new never does.
void* plain(std::size_t n) noexcept {
  count();
  return taken(std::malloc(n ? n : 1), false);
}

// aligned_alloc wants a size that is a multiple of the alignment. The
// Windows C library has no aligned_alloc; its aligned blocks come from
// _aligned_malloc and go back through _aligned_free.
void* aligned(std::size_t n, std::align_val_t al) noexcept {
  count();
  const auto a = static_cast<std::size_t>(al);
#ifdef _WIN32
  return taken(_aligned_malloc(n ? n : 1, a), true);
#else
  return taken(std::aligned_alloc(a, (n + a - 1) / a * a), true);
#endif
}

void free_plain(void* p) noexcept {
  given_back(p, false);
  std::free(p);
}

void free_aligned(void* p) noexcept {
  given_back(p, true);
#ifdef _WIN32
  _aligned_free(p);
#else
  std::free(p);
#endif
}

void* or_throw(void* p) {
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace alloc_count {

int64_t allocations() { return g_allocations.load(std::memory_order_relaxed); }

void set_observer(Observer observer) { g_observer.store(observer, std::memory_order_relaxed); }

int64_t bytes_in_use() { return g_bytes.load(std::memory_order_relaxed); }

int64_t peak_bytes() { return g_peak.load(std::memory_order_relaxed); }

void reset_peak() { g_peak.store(g_bytes.load(std::memory_order_relaxed)); }

}  // namespace alloc_count

// Every form, so that each block freed with free() came from malloc() or
// aligned_alloc() (the sanitizers check the pairs).
void* operator new(std::size_t n) { return or_throw(plain(n)); }
void* operator new[](std::size_t n) { return or_throw(plain(n)); }
void* operator new(std::size_t n, std::align_val_t a) { return or_throw(aligned(n, a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return or_throw(aligned(n, a)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return plain(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return plain(n); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return aligned(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return aligned(n, a);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { free_plain(p); }
void operator delete[](void* p) noexcept { free_plain(p); }
void operator delete(void* p, std::size_t) noexcept { free_plain(p); }
void operator delete[](void* p, std::size_t) noexcept { free_plain(p); }
void operator delete(void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free_plain(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free_plain(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { free_aligned(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  free_aligned(p);
}
#pragma GCC diagnostic pop
