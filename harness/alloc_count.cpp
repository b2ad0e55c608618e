#include "harness/alloc_count.h"

#include <atomic>
#include <cstdlib>
#include <new>
#ifdef _WIN32
#include <malloc.h>
#endif

namespace {

std::atomic<int64_t> g_allocations{0};
std::atomic<alloc_count::Observer> g_observer{nullptr};

void count() {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (const alloc_count::Observer o = g_observer.load(std::memory_order_relaxed)) o();
}

// malloc(0) may give a null pointer; operator new never does.
void* plain(std::size_t n) noexcept {
  count();
  return std::malloc(n ? n : 1);
}

// aligned_alloc wants a size that is a multiple of the alignment. The
// Windows C library has no aligned_alloc; its aligned blocks come from
// _aligned_malloc and go back through _aligned_free.
void* aligned(std::size_t n, std::align_val_t al) noexcept {
  count();
  const auto a = static_cast<std::size_t>(al);
#ifdef _WIN32
  return _aligned_malloc(n ? n : 1, a);
#else
  return std::aligned_alloc(a, (n + a - 1) / a * a);
#endif
}

void free_aligned(void* p) noexcept {
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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { free_aligned(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  free_aligned(p);
}
#pragma GCC diagnostic pop
