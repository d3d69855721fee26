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
  ++requests_;
}

void IdleStoreRelease::RequestDone(Store* store) {
  {
    std::lock_guard lock(mutex_);
    idle_store_ = store;
    ++requests_;
  }
  changed_.notify_one();
}

void IdleStoreRelease::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (idle_store_ == nullptr) {
      changed_.wait(lock);
      continue;
    }
    const unsigned long long seen = requests_;
    if (changed_.wait_for(lock, linger_, [&] { return stopping_ || requests_ != seen; })) continue;
    // Idle for the whole linger, and the lock keeps the next request out
    // until the connections are closed.
    idle_store_->CloseFileConnections();
    idle_store_ = nullptr;
  }
}

}  // namespace portavel
