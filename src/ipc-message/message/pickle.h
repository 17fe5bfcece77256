#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// A growable byte buffer: a header whose first 4 bytes hold the payload size, then the payload.
// Every item starts at a 4-byte-aligned payload offset and is padded with zero bytes to a
// multiple of 4. A Pickle made over received bytes only borrows them and never writes or frees.
class Pickle {
 public:
  // Largest buffer (header and payload) the writer builds and the reader accepts.
  static constexpr size_t kMaxSize = 16 * 1024 * 1024;
  // New buffers and every growth step are multiples of this.
  static constexpr size_t kCapacityUnit = 64;

  Pickle();
  // header_size is rounded up to a multiple of 4 and is at least 4.
  explicit Pickle(int header_size);
  // Read-only view of received bytes. The header size is data_len - payload size; a buffer
  // shorter than 4 bytes, a payload larger than the buffer or a header size of 0 or not a
  // multiple of 4 gives an empty, invalid Pickle.
  Pickle(const char* data, size_t data_len);
  // Copies own their bytes, also when the source only borrows.
  Pickle(const Pickle& other);
  Pickle& operator=(const Pickle& other);
  virtual ~Pickle();

  // False for a Pickle over bytes that failed the checks above (it then has no bytes at all).
  bool IsValid() const { return header_ != nullptr; }
  const void* data() const { return header_; }
  // Header plus payload, the bytes on the wire.
  size_t size() const;
  size_t header_size() const { return header_size_; }
  size_t payload_size() const;
  const char* payload() const;
  // Bytes allocated, or -1 while borrowing.
  int capacity() const { return capacity_; }

  // Each write returns false and leaves the contents unchanged when the buffer cannot grow or
  // is borrowed.
  bool WriteInt(int value) { return WriteBytes(&value, sizeof(value)); }
  bool WriteUInt32(uint32_t value) { return WriteBytes(&value, sizeof(value)); }
  bool WriteBool(bool value) { return WriteInt(value ? 1 : 0); }
  // The bytes, then zero padding.
  bool WriteBytes(const void* data, size_t length);
  // 32-bit length in bytes, then the bytes (no terminator), then zero padding.
  bool WriteString(const std::string& value);

 protected:
  struct Header {
    uint32_t payload_size;
  };
  // The header as the derived class's layout; null when invalid or too small for T.
  template <typename T>
  T* headerT() {
    return header_size_ >= sizeof(T) ? reinterpret_cast<T*>(header_) : nullptr;
  }
  template <typename T>
  const T* headerT() const {
    return header_size_ >= sizeof(T) ? reinterpret_cast<const T*>(header_) : nullptr;
  }
  // Drops the bytes and becomes invalid.
  void Invalidate();

 private:
  bool Resize(size_t new_capacity);
  void Free();

  Header* header_ = nullptr;
  size_t header_size_ = 0;
  int capacity_ = 0;
};

// Reads the items of a Pickle in order. A read that would pass the end of the payload fails
// and leaves the iterator where it was.
class PickleIterator {
 public:
  explicit PickleIterator(const Pickle& pickle);

  bool ReadInt(int* result);
  bool ReadUInt32(uint32_t* result);
  bool ReadBool(bool* result);
  // Points *data at `length` payload bytes and skips them with their padding.
  bool ReadBytes(const char** data, size_t length);
  bool ReadString(std::string* result);
  // Bytes left after the current position.
  size_t Remaining() const { return end_ - offset_; }

 private:
  // Returns the start of `length` bytes and advances past them and their padding, or null.
  const char* Advance(size_t length);

  const char* payload_;
  size_t offset_ = 0;
  size_t end_;
};
