#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ipc-message/message/ipc_message.h"
#include "unit/ipc_message/test_util.h"

namespace {

using ipc_test::GetU32;
using ipc_test::GuardedBuffer;
using ipc_test::PutU32;

std::vector<unsigned char> Bytes(const Pickle& p) {
  const auto* b = static_cast<const unsigned char*>(p.data());
  return std::vector<unsigned char>(b, b + p.size());
}

std::vector<unsigned char> PayloadBytes(const Pickle& p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p.payload());
  return std::vector<unsigned char>(b, b + p.payload_size());
}

TEST(MessageEncodingTest, ItemsAreByteExact) {
  struct Case {
    const char* name;
    std::function<void(IPC::Message*)> write;
    std::vector<unsigned char> payload;
  };
  const Case cases[] = {
      {"empty", [](IPC::Message*) {}, {}},
      {"int", [](IPC::Message* m) { m->WriteInt(0x01020304); }, {4, 3, 2, 1}},
      {"negative int", [](IPC::Message* m) { m->WriteInt(-2); }, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"3 bytes pad to 4", [](IPC::Message* m) { m->WriteBytes("abc", 3); }, {'a', 'b', 'c', 0}},
      {"item after 3 bytes starts at 4",
       [](IPC::Message* m) {
         m->WriteBytes("abc", 3);
         m->WriteUInt32(7);
       },
       {'a', 'b', 'c', 0, 7, 0, 0, 0}},
      {"5 bytes pad to 8",
       [](IPC::Message* m) { m->WriteBytes("12345", 5); },
       {'1', '2', '3', '4', '5', 0, 0, 0}},
      {"string open",
       [](IPC::Message* m) { m->WriteString("open"); },
       {4, 0, 0, 0, 'o', 'p', 'e', 'n'}},
      {"empty string", [](IPC::Message* m) { m->WriteString(""); }, {0, 0, 0, 0}},
      {"string jpg then state",
       [](IPC::Message* m) {
         m->WriteString("jpg");
         m->WriteInt(1);
       },
       {3, 0, 0, 0, 'j', 'p', 'g', 0, 1, 0, 0, 0}},
      {"bool", [](IPC::Message* m) { m->WriteBool(true); }, {1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IPC::Message m(1, 4, IPC::Message::PRIORITY_NORMAL);
    c.write(&m);
    EXPECT_EQ(c.payload, PayloadBytes(m));
    std::vector<unsigned char> wire = Bytes(m);
    ASSERT_EQ(16 + c.payload.size(), wire.size());
    // Header: payload size, routing 1, type 4; the flags word follows.
    EXPECT_EQ(c.payload.size(), GetU32(reinterpret_cast<const char*>(&wire[0])));
    EXPECT_EQ(1u, GetU32(reinterpret_cast<const char*>(&wire[4])));
    EXPECT_EQ(4u, GetU32(reinterpret_cast<const char*>(&wire[8])));
    EXPECT_EQ(m.flags(), GetU32(reinterpret_cast<const char*>(&wire[12])));
  }
}

TEST(MessageEncodingTest, ReadsBackWhatWasWritten) {
  IPC::Message m(-3, 9, IPC::Message::PRIORITY_HIGH);
  ASSERT_TRUE(m.WriteString("open"));
  ASSERT_TRUE(m.WriteInt(-42));
  ASSERT_TRUE(m.WriteBytes("xyz", 3));
  ASSERT_TRUE(m.WriteUInt32(0xFFFFFFFFu));
  IPC::Message received(static_cast<const char*>(m.data()), m.size());
  ASSERT_TRUE(received.IsValid());
  EXPECT_EQ(-3, received.routing_id());
  EXPECT_EQ(9u, received.type());
  EXPECT_EQ(-1, received.capacity());  // borrowed
  PickleIterator it(received);
  std::string s;
  int i = 0;
  const char* bytes = nullptr;
  uint32_t u = 0;
  ASSERT_TRUE(it.ReadString(&s));
  ASSERT_TRUE(it.ReadInt(&i));
  ASSERT_TRUE(it.ReadBytes(&bytes, 3));
  ASSERT_TRUE(it.ReadUInt32(&u));
  EXPECT_EQ("open", s);
  EXPECT_EQ(-42, i);
  EXPECT_EQ(0, memcmp(bytes, "xyz", 3));
  EXPECT_EQ(0xFFFFFFFFu, u);
  EXPECT_FALSE(it.ReadInt(&i));
  // Borrowed bytes are read-only; a copy owns its bytes and can grow.
  EXPECT_FALSE(received.WriteInt(1));
  IPC::Message copy(received);
  EXPECT_GT(copy.capacity(), 0);
  EXPECT_TRUE(copy.WriteInt(1));
  EXPECT_EQ(received.size() + 4, copy.size());
}

TEST(MessageFlagsTest, PrioritySequenceAndPidBits) {
  IPC::Message plain;
  EXPECT_EQ(0, plain.routing_id());
  EXPECT_EQ(0u, plain.type());
  EXPECT_EQ(0u, plain.priority());
  EXPECT_EQ(16u, plain.size());

  IPC::Message a(1, 1, IPC::Message::PRIORITY_NORMAL);
  IPC::Message b(1, 1, IPC::Message::PRIORITY_NORMAL);
  EXPECT_EQ(2u, a.flags() & 0xFF);
  EXPECT_EQ((a.sequence() + 1) & 0x3FFF, b.sequence());
  uint32_t pid = ::GetCurrentProcessId();
  EXPECT_EQ(pid << 22, a.flags() & 0xFFC00000u);
  EXPECT_EQ(pid & 0x3FF, a.sender_pid_bits());
  EXPECT_EQ(a.flags() & ~0x3FFF00u, b.flags() & ~0x3FFF00u);

  // The 14-bit sequence wraps around: 0x4000 messages later it is back where it was.
  uint32_t start = IPC::Message(0, 0, IPC::Message::PRIORITY_LOW).sequence();
  for (int i = 0; i < 0x3FFF; ++i) IPC::Message(0, 0, IPC::Message::PRIORITY_LOW);
  IPC::Message again(0, 0, IPC::Message::PRIORITY_LOW);
  EXPECT_EQ(start, again.sequence());
  EXPECT_EQ(1u, again.priority());
}

TEST(PickleGrowthTest, SmallMessagesNeverReallocate) {
  IPC::Message m(1, 4, IPC::Message::PRIORITY_NORMAL);
  EXPECT_EQ(64, m.capacity());
  const void* before = m.data();
  ASSERT_TRUE(m.WriteString("open"));
  ASSERT_TRUE(m.WriteInt(1));
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(m.WriteInt(i));  // 48 payload bytes: exactly full
  EXPECT_EQ(64u, m.size());
  EXPECT_EQ(64, m.capacity());
  EXPECT_EQ(before, m.data());
  // One more: twice the capacity (128) beats the 68 needed.
  ASSERT_TRUE(m.WriteInt(99));
  EXPECT_EQ(128, m.capacity());
  EXPECT_EQ(68u, m.size());

  // A big item: the size needed (16 + 300) beats twice 64, rounded up to 320.
  IPC::Message big(1, 4, IPC::Message::PRIORITY_NORMAL);
  std::string blob(300, 'x');
  ASSERT_TRUE(big.WriteBytes(blob.data(), blob.size()));
  EXPECT_EQ(320, big.capacity());
  EXPECT_EQ(316u, big.size());
}

TEST(PickleGrowthTest, RefusedWriteKeepsContents) {
  IPC::Message m(1, 4, IPC::Message::PRIORITY_NORMAL);
  ASSERT_TRUE(m.WriteInt(5));
  std::vector<unsigned char> before = Bytes(m);
  std::string huge(Pickle::kMaxSize, 'h');
  EXPECT_FALSE(m.WriteString(huge));
  EXPECT_FALSE(m.WriteBytes(huge.data(), huge.size()));
  EXPECT_EQ(before, Bytes(m));
  EXPECT_TRUE(m.WriteInt(6));
}

// Parsing received bytes: never a read past the buffer (the guard page faults at once).
TEST(MessageParserTest, BadInputTable) {
  struct Case {
    const char* name;
    std::vector<char> bytes;
    bool valid;
    // Reads tried in order on a valid message: 'i' int, 's' string, 'b' 2 raw bytes; the
    // expected outcome of each.
    std::string reads;
    std::vector<bool> read_ok;
  };
  auto header = [](uint32_t payload, uint32_t routing, uint32_t type, size_t header_size) {
    std::vector<char> b;
    PutU32(&b, payload);
    PutU32(&b, routing);
    PutU32(&b, type);
    PutU32(&b, 0);
    b.resize(header_size, 0);
    return b;
  };
  auto with = [](std::vector<char> b, const std::vector<char>& tail) {
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  std::vector<char> len100;
  PutU32(&len100, 100);
  std::vector<char> negative;
  PutU32(&negative, 0x80000000u);
  std::vector<char> open = {4, 0, 0, 0, 'o', 'p', 'e', 'n'};

  const Case cases[] = {
      {"nothing", {}, false, "", {}},
      {"2 bytes", {1, 0}, false, "", {}},
      {"3 bytes", {0, 0, 0}, false, "", {}},
      {"payload beyond buffer", header(100, 2, 2, 16), false, "", {}},
      {"payload = whole buffer (header 0)", header(16, 2, 2, 16), false, "", {}},
      {"header 6 bytes", with(header(2, 0, 0, 4), {0, 0, 9, 9}), false, "", {}},
      {"header 8 bytes (too small for a message)", header(0, 2, 2, 8), false, "", {}},
      {"header 18 bytes", with(header(2, 0, 0, 16), {0, 0, 9, 9}), false, "", {}},
      {"empty message", header(0, 2, 2, 16), true, "i", {false}},
      {"header 20 bytes", with(header(4, 2, 2, 20), {1, 0, 0, 0}), true, "ii", {true, false}},
      {"string open", with(header(8, 2, 4, 16), open), true, "si", {true, false}},
      {"string length past end",
       with(header(8, 2, 4, 16), with(len100, {'a', 'b', 'c', 'd'})),
       true,
       "si",
       {false, true}},
      {"negative string length", with(header(4, 2, 4, 16), negative), true, "si", {false, true}},
      {"string length with no bytes", with(header(4, 2, 4, 16), {3, 0, 0, 0}), true, "s", {false}},
      {"int from 2 bytes", with(header(2, 2, 1, 16), {1, 2}), true, "ib", {false, true}},
      {"header 7 bytes", header(5, 2, 1, 12), false, "", {}},
      {"odd payload 5",
       with(header(5, 2, 1, 16), {7, 0, 0, 0, 1}),
       true,
       "iib",
       {true, false, false}},
      {"header 14 bytes", header(2, 2, 1, 16), false, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedBuffer buf(c.bytes);
    IPC::Message m(buf.data(), buf.size());
    ASSERT_EQ(c.valid, m.IsValid());
    if (!m.IsValid()) {
      EXPECT_EQ(0u, m.size());
      EXPECT_EQ(0u, m.type());
      EXPECT_EQ(0, m.routing_id());
      PickleIterator it(m);
      int i;
      EXPECT_FALSE(it.ReadInt(&i));
      continue;
    }
    EXPECT_EQ(buf.size(), m.size());
    PickleIterator it(m);
    for (size_t k = 0; k < c.reads.size(); ++k) {
      bool ok = false;
      int i;
      std::string s;
      const char* p;
      switch (c.reads[k]) {
        case 'i':
          ok = it.ReadInt(&i);
          break;
        case 's':
          ok = it.ReadString(&s);
          break;
        case 'b':
          ok = it.ReadBytes(&p, 2);
          break;
      }
      EXPECT_EQ(c.read_ok[k], ok) << "read " << k;
    }
  }
}

// Random bytes, half of them shaped like messages, all against the guard page: the parser's
// verdict matches the rule, and reading every item stays inside the buffer.
TEST(MessageParserTest, RandomBuffersStayInside) {
  std::mt19937 rng(12345);
  int valid_count = 0;
  for (int n = 0; n < 20000; ++n) {
    std::vector<char> bytes(rng() % 80);
    for (char& c : bytes) c = static_cast<char>(rng());
    if (n % 2 == 0 && bytes.size() >= 4) {
      uint32_t payload = static_cast<uint32_t>(bytes.size() - (rng() % 5) * 4);
      if (rng() % 4 == 0) payload = static_cast<uint32_t>(bytes.size() - 16 - rng() % 8);
      if (rng() % 8 == 0) payload = static_cast<uint32_t>(rng());
      memcpy(bytes.data(), &payload, 4);
    }
    GuardedBuffer buf(bytes);
    IPC::Message m(buf.data(), buf.size());
    bool expect = false;
    if (bytes.size() >= 4) {
      uint32_t payload = GetU32(bytes.data());
      size_t h = bytes.size() - payload;
      expect = payload <= bytes.size() && h >= 16 && h % 4 == 0;
    }
    ASSERT_EQ(expect, m.IsValid()) << "buffer " << n;
    if (!m.IsValid()) continue;
    ++valid_count;
    PickleIterator it(m);
    std::string s;
    int v;
    const char* p;
    for (int k = 0; k < 20; ++k) {
      switch (rng() % 3) {
        case 0:
          it.ReadString(&s);
          break;
        case 1:
          it.ReadInt(&v);
          break;
        case 2:
          it.ReadBytes(&p, rng() % 9);
          break;
      }
    }
  }
  EXPECT_GT(valid_count, 1000);
}

}  // namespace
