#include "support/fake_platform.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace portavel {

namespace fs = std::filesystem;

// 2024-03-15 is day 45366 counted from 1899-12-30.
FakePlatform::FakePlatform() : now_(45366, 10 * 3'600'000) {
  std::string pattern = (fs::temp_directory_path() / "portavel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("FakePlatform: cannot create a scratch directory");
  }
  temp_directory_ = pattern + "/";
}

FakePlatform::~FakePlatform() {
  std::error_code error;
  fs::remove_all(temp_directory_, error);
}

void FakePlatform::Advance(int64_t ms) {
  int64_t total = int64_t{now_.ms_of_day()} + ms;
  int64_t days = total / DateTime::kMsPerDay;
  int64_t rest = total % DateTime::kMsPerDay;
  if (rest < 0) {
    rest += DateTime::kMsPerDay;
    --days;
  }
  now_ = DateTime(static_cast<int32_t>(now_.day() + days), static_cast<int32_t>(rest));
}

std::optional<Guid> FakePlatform::NewGuid() {
  if (!queued_guids_.empty()) {
    std::optional<Guid> next = queued_guids_.front();
    queued_guids_.pop_front();
    return next;
  }
  ++guid_counter_;
  Guid::Bytes bytes{};
  bytes[7] = 0x40;  // version 4 (third group is little-endian)
  bytes[8] = 0x80;  // variant
  for (int i = 0; i < 4; ++i) bytes[15 - i] = static_cast<uint8_t>(guid_counter_ >> (8 * i));
  return Guid::FromBytes(bytes);
}

bool FakePlatform::DirectoryExists(const std::string& path) {
  return SystemPlatform().DirectoryExists(path);
}

bool FakePlatform::CreateDirectory(const std::string& path) {
  return !directory_creation_fails_ && SystemPlatform().CreateDirectory(path);
}

bool FakePlatform::RemoveDirectory(const std::string& path) {
  return SystemPlatform().RemoveDirectory(path);
}

void FakePlatform::SleepMilliseconds(int ms) {
  if (ms <= 0) return;
  total_slept_ms_ += ms;
  Advance(ms);
}

}  // namespace portavel
