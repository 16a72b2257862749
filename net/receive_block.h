#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>

// The block a connection receives into: up to 2 MiB a receive, so that a
// download of a GiB takes about 600 receives and a TLS block holds about 128
// records of 16 KiB.
//
// A receive commits every page of the room it offers: under wine the socket
// layer touches each page of the buffer before it asks the system for data.
// Most answers are small (a configuration, a version, a report), so a first
// receive is offered 64 KiB, and each receive that fills its offer doubles
// the next one, up to the whole block. For the same reason the block is not
// cleared when it is made.
class ReceiveBlock {
 public:
  static constexpr size_t kSize = 2 * 1024 * 1024;
  static constexpr size_t kFirstOffer = 64 * 1024;

  ReceiveBlock() : bytes_(new char[kSize]) {}

  char* data() { return bytes_.get(); }

  // The room the next receive is offered when the first `held` bytes of the
  // block are kept.
  size_t Offer(size_t held) const { return held >= kSize ? 0 : std::min(offer_, kSize - held); }

  // Records what a receive offered `offered` bytes brought.
  void Received(size_t offered, size_t got) {
    if (got >= offered && offer_ < kSize) offer_ = std::min(offer_ * 2, kSize);
  }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t offer_ = kFirstOffer;
};
