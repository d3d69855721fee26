#include "app/idle_store_release.h"

#include "data/store.h"

namespace portavel {

IdleStoreRelease::IdleStoreRelease(std::chrono::milliseconds linger)
    : linger_(linger), thread_([this] { Run(); }) {}

IdleStoreRelease::~IdleStoreRelease() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_one();
  thread_.join();
}

void IdleStoreRelease::RequestStarts() {
  std::lock_guard lock(mutex_);
  idle_store_ = nullptr;
}

// While the thread sleeps towards a release, a request that ends only
// moves the time it counts from: waking the thread for each request of a
// busy process cost a switch to it and back every time.
void IdleStoreRelease::RequestDone(Store* store) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    idle_store_ = store;
    last_done_ = std::chrono::steady_clock::now();
    wake = !counting_down_;
  }
  if (wake) changed_.notify_one();
}

void IdleStoreRelease::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (idle_store_ == nullptr) {
      changed_.wait(lock);
      continue;
    }
    counting_down_ = true;
    changed_.wait_until(lock, last_done_ + linger_, [&] { return stopping_; });
    counting_down_ = false;
    // A request running now, or one that ended meanwhile: not idle yet.
    if (stopping_ || idle_store_ == nullptr) continue;
    if (std::chrono::steady_clock::now() < last_done_ + linger_) continue;
    // Idle for the whole linger, and the lock keeps the next request out
    // until the connections are closed.
    idle_store_->CloseFileConnections();
    idle_store_ = nullptr;
  }
}

}  // namespace portavel
