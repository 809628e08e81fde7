#pragma once

#include "platform/device.h"

namespace orvanta {

class Volume;

// One operation's hold on the selected drive (a drive summary, a Find, a
// restore, a preview, a wipe): from here until the end of the scope the
// drive's device is opened once, again only after a transfer that failed,
// and closed at the end. Whatever drive the operation selects meanwhile is
// the one held. A session begun while another is held changes nothing.
class DeviceSession {
public:
  DeviceSession(Volume &volume, DeviceAccess access);
  ~DeviceSession();
  DeviceSession(const DeviceSession &) = delete;
  DeviceSession &operator=(const DeviceSession &) = delete;

  // Ends the hold now rather than at the end of the scope. False when the
  // device could not flush what the operation wrote to it.
  bool End();

private:
  Volume &volume_;
  bool outermost_;
};

} // namespace orvanta
