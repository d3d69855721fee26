// Sets or clears an environment variable for one test and puts the old
// value back afterwards.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace portavel {

class ScopedEnv {
 public:
  // A null `value` removes the variable.
  ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) old_ = old;
    Apply(value);
  }
  ~ScopedEnv() { Apply(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Apply(const char* value) {
    if (value != nullptr) {
      setenv(name_.c_str(), value, 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace portavel
