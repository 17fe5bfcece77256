#include "ipc-message/message/ipc_message.h"

#include <windows.h>

#include <atomic>

namespace IPC {

namespace {

// Counts every message this process constructs; only bits 8-21 of (count << 8) are kept.
std::atomic<uint32_t> g_sequence{0};

}  // namespace

Message::Message() : Pickle(static_cast<int>(sizeof(Header))) { Init(0, 0, 0); }

Message::Message(int32_t routing_id, uint32_t type, PriorityValue priority)
    : Pickle(static_cast<int>(sizeof(Header))) {
  Init(routing_id, type, static_cast<uint32_t>(priority) & kPriorityMask);
}

Message::Message(const char* data, size_t data_len) : Pickle(data, data_len) {
  if (IsValid() && header_size() < sizeof(Header)) Invalidate();
}

Message::~Message() = default;

void Message::Init(int32_t routing_id, uint32_t type, uint32_t priority_bits) {
  Header* h = headerT<Header>();
  if (!h) return;
  uint32_t sequence = g_sequence.fetch_add(1, std::memory_order_relaxed) + 1;
  h->routing = routing_id;
  h->type = type;
  h->flags = priority_bits | ((sequence << kSequenceShift) & kSequenceMask) |
             (static_cast<uint32_t>(::GetCurrentProcessId()) << kPidShift);
}

int32_t Message::routing_id() const {
  const Header* h = headerT<Header>();
  return h ? h->routing : 0;
}

uint32_t Message::type() const {
  const Header* h = headerT<Header>();
  return h ? h->type : 0;
}

uint32_t Message::flags() const {
  const Header* h = headerT<Header>();
  return h ? h->flags : 0;
}

void Message::set_routing_id(int32_t routing_id) {
  Header* h = capacity() > 0 ? headerT<Header>() : nullptr;
  if (h) h->routing = routing_id;
}

void Message::set_type(uint32_t type) {
  Header* h = capacity() > 0 ? headerT<Header>() : nullptr;
  if (h) h->type = type;
}

}  // namespace IPC
