// The platform the demo's history is posted under: the caller's platform
// in everything but the clock, which stands at the moment each posting
// happened, so that the posting code dates its batches, lines and keys as
// it would have on that day.
#pragma once

#include "platform/forwarding_platform.h"

namespace portavel {

class DemoClock : public ForwardingPlatform {
 public:
  explicit DemoClock(Platform& platform) : ForwardingPlatform(platform), now_(platform.Now()) {}

  void Set(DateTime now) { now_ = now; }
  DateTime Now() override { return now_; }

 private:
  DateTime now_;
};

}  // namespace portavel
