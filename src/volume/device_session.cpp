#include "volume/device_session.h"

#include "volume/volume.h"

namespace orvanta {

DeviceSession::DeviceSession(Volume &volume, DeviceAccess access)
    : volume_(volume), outermost_(!volume.session_) {
  if (!outermost_)
    return;
  volume_.session_ = access;
  volume_.FollowSession();
}

DeviceSession::~DeviceSession() { End(); }

bool DeviceSession::End() {
  if (!outermost_)
    return true;
  outermost_ = false;
  const bool flushed = !volume_.sessionDevice_ || volume_.sessionDevice_->EndSession();
  volume_.sessionDevice_.reset();
  volume_.session_.reset();
  return flushed;
}

} // namespace orvanta
