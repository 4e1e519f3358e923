// One program per КАДО: an advisory lock on the device node for the span of one device
// operation. hidraw has no sharing modes, so two programs could otherwise interleave their
// reports; Windows refuses a second open by the share mode and needs no lock.
#pragma once
#include <string>

namespace velmora {

class DeviceLock {
 public:
  DeviceLock() = default;
  ~DeviceLock();
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

  // kStatusOk when the node is now held, or when there is no node to lock (a simulated
  // device; a node this program may not open, whose device open fails on its own);
  // kStatusInUse when another open file holds the lock.
  int Acquire(const std::string& path);
  void Release();
  // False where the platform needs no lock (its share modes refuse a second open).
  static bool Available();

 private:
  [[maybe_unused]] int fd_ = -1;
};

}  // namespace velmora
