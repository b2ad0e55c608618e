// The counting allocator that the soak run, the frame benchmark and the
// text tests rely on: a form of operator new it missed would hide an
// allocation, and a block it handed out wrongly would break the program it
// measures.
#include "harness/alloc_count.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

struct alignas(64) Line {
  unsigned char bytes[64];
};
struct alignas(4096) Page {
  unsigned char bytes[100];  // smaller than its alignment
};

bool aligned_to(const void* p, std::size_t a) {
  return reinterpret_cast<std::uintptr_t>(p) % a == 0;
}

// The compiler may drop a new whose block goes nowhere; this one escapes.
void* volatile g_sink = nullptr;
template <typename T>
T* kept(T* p) {
  g_sink = p;
  return p;
}

TEST(AllocCount, EveryFormOfNewIsCountedOnceAndFreedByItsDelete) {
  EXPECT_EQ(alloc_count::allocations_during([] { delete kept(new int(1)); }), 1);
  EXPECT_EQ(alloc_count::allocations_during([] { delete[] kept(new int[7]); }), 1);
  EXPECT_EQ(alloc_count::allocations_during([] { delete kept(new (std::nothrow) int(2)); }), 1);
  EXPECT_EQ(alloc_count::allocations_during([] { delete[] kept(new (std::nothrow) char[3]); }), 1);
  EXPECT_EQ(alloc_count::allocations_during([] {
              Line* l = kept(new Line);
              EXPECT_TRUE(aligned_to(l, 64));
              delete l;
            }),
            1);
  EXPECT_EQ(alloc_count::allocations_during([] {
              Page* p = kept(new Page[3]);
              EXPECT_TRUE(aligned_to(p, 4096));
              p[2].bytes[99] = 1;  // the whole array is usable
              delete[] p;
            }),
            1);
  EXPECT_EQ(alloc_count::allocations_during([] {
              Page* p = kept(new (std::nothrow) Page);
              ASSERT_NE(p, nullptr);
              EXPECT_TRUE(aligned_to(p, 4096));
              delete p;
            }),
            1);
  EXPECT_EQ(alloc_count::allocations_during([] {
              void* p = kept(::operator new (10, std::align_val_t{256}, std::nothrow));
              EXPECT_TRUE(aligned_to(p, 256));
              ::operator delete (p, std::align_val_t{256}, std::nothrow);
            }),
            1);
  // Sized deletes, as the containers use them.
  EXPECT_EQ(alloc_count::allocations_during([] {
              std::vector<int> v(1000);
              auto s = std::make_shared<std::string>(100, 'x');
              kept(v.data());
              kept(s->data());
            }),
            3);
}

TEST(AllocCount, ZeroBytesStillGiveDistinctBlocks) {
  void* a = kept(::operator new(0));
  void* b = kept(::operator new(0));
  EXPECT_NE(a, nullptr);
  EXPECT_NE(a, b);
  ::operator delete(a);
  ::operator delete(b);
  void* c = kept(::operator new(0, std::nothrow));
  EXPECT_NE(c, nullptr);
  ::operator delete(c, std::nothrow);
}

TEST(AllocCount, AFailedAllocationThrowsOrReturnsNull) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer's malloc stops the program on a size this large";
#endif
  const std::size_t huge = std::size_t(1) << 62;
  EXPECT_THROW(static_cast<void>(::operator new(huge)), std::bad_alloc);
  EXPECT_THROW(static_cast<void>(::operator new (huge, std::align_val_t{64})), std::bad_alloc);
  EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
  EXPECT_EQ(::operator new (huge, std::align_val_t{64}, std::nothrow), nullptr);
}

TEST(AllocCount, OtherThreadsCountAndTheObserverSeesEachAllocation) {
  EXPECT_GE(alloc_count::allocations_during([] {
              std::thread t([] { delete kept(new int(3)); });
              t.join();
            }),
            2);  // the thread's own state and its int

  static int seen = 0;
  seen = 0;
  alloc_count::set_observer([] { ++seen; });
  const int64_t made = alloc_count::allocations_during([] {
    delete kept(new int(4));
    delete[] kept(new (std::nothrow) int[2]);
  });
  alloc_count::set_observer(nullptr);
  EXPECT_EQ(made, 2);
  EXPECT_EQ(seen, 2);
}

}  // namespace
