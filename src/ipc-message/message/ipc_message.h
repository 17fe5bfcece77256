#pragma once

#include <stddef.h>
#include <stdint.h>

#include "ipc-message/message/pickle.h"

namespace IPC {

// One message on the channel: a 16-byte header (payload size, routing, type, flags), then the
// payload items of Pickle.
class Message : public Pickle {
 public:
  enum PriorityValue {
    PRIORITY_LOW = 1,
    PRIORITY_NORMAL = 2,
    PRIORITY_HIGH = 3,
  };

  // Flag word: bits 0-7 priority, bits 8-21 sequence, bits 22-31 the sender's process id.
  static constexpr uint32_t kPriorityMask = 0x000000FF;
  static constexpr uint32_t kSequenceMask = 0x003FFF00;
  static constexpr int kSequenceShift = 8;
  static constexpr int kPidShift = 22;
  static constexpr size_t kHeaderSize = 16;

  // Routing 0, type 0, no priority bits.
  Message();
  Message(int32_t routing_id, uint32_t type, PriorityValue priority);
  // Read-only view of received bytes; invalid (see Pickle) also when the header is shorter
  // than 16 bytes.
  Message(const char* data, size_t data_len);
  Message(const Message& other) = default;
  Message& operator=(const Message& other) = default;
  ~Message() override;

  // An invalid message reads as routing 0, type 0, flags 0 and no payload.
  int32_t routing_id() const;
  uint32_t type() const;
  uint32_t flags() const;
  uint32_t priority() const { return flags() & kPriorityMask; }
  uint32_t sequence() const { return (flags() & kSequenceMask) >> kSequenceShift; }
  // Only the low 10 bits of the sender's process id survive.
  uint32_t sender_pid_bits() const { return flags() >> kPidShift; }

  void set_routing_id(int32_t routing_id);
  void set_type(uint32_t type);

 private:
  struct Header : Pickle::Header {
    int32_t routing;
    uint32_t type;
    uint32_t flags;
  };
  static_assert(sizeof(Header) == kHeaderSize, "the wire header is 16 bytes");

  void Init(int32_t routing_id, uint32_t type, uint32_t priority_bits);
};

}  // namespace IPC
