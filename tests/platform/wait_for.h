#pragma once
// Waiting in a test for what another thread (a device's, a program's) does.
#include <chrono>
#include <thread>

namespace test_wait {

// Polls pred until it holds (true) or limit passes (false).
template <typename Pred>
bool wait_for(Pred pred, std::chrono::milliseconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace test_wait
