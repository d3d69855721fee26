// Lets go of the store soon after the last request, in a process that
// serves one request after another. While it holds a connection, SQLite
// keeps the database's write-ahead log and its index beside the file; a
// database file replaced in that time (a restore moved into place) would
// have the old file's log applied to it by the next program that opens it.
// Between requests the process therefore holds nothing, as no CGI process
// does, but it keeps its connections (with their parsed schema and
// prepared statements, the larger part of a page's cost) while requests
// follow each other closely. Connections to a database server hold no file
// and are kept between requests; the next request replaces one the server
// ended meanwhile (Store::DropLostConnections).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace portavel {

class Store;

class IdleStoreRelease {
 public:
  // Connections are closed once no request came for `linger`.
  explicit IdleStoreRelease(std::chrono::milliseconds linger);
  ~IdleStoreRelease();
  IdleStoreRelease(const IdleStoreRelease&) = delete;
  IdleStoreRelease& operator=(const IdleStoreRelease&) = delete;

  // From here until RequestDone the store is the request's: a release in
  // progress is waited for, and none starts.
  void RequestStarts();
  // The files of `store` (none when the process has no context) are
  // released once the process has been idle for the linger.
  void RequestDone(Store* store);

 private:
  void Run();

  const std::chrono::milliseconds linger_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Store* idle_store_ = nullptr;
  std::chrono::steady_clock::time_point last_done_;
  // Whether the thread sleeps until the linger after last_done_ ends.
  bool counting_down_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace portavel
