#include "ipc-message/message/pickle.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace {

constexpr size_t kAlign = sizeof(uint32_t);

constexpr size_t AlignUp(size_t n, size_t unit) { return (n + unit - 1) / unit * unit; }

}  // namespace

Pickle::Pickle() : Pickle(static_cast<int>(sizeof(Header))) {}

Pickle::Pickle(int header_size) {
  size_t wanted = header_size > 0 ? static_cast<size_t>(header_size) : 0;
  header_size_ = AlignUp(std::max(wanted, sizeof(Header)), kAlign);
  if (header_size_ > kMaxSize || !Resize(std::max(kCapacityUnit, header_size_))) {
    header_size_ = 0;
    return;
  }
  memset(header_, 0, header_size_);
}

Pickle::Pickle(const char* data, size_t data_len) {
  if (data == nullptr || data_len < sizeof(Header) || data_len > kMaxSize) return;
  uint32_t payload_size;
  memcpy(&payload_size, data, sizeof(payload_size));
  if (payload_size > data_len) return;
  size_t header_size = data_len - payload_size;
  if (header_size == 0 || header_size % kAlign != 0) return;
  // Borrowed: the bytes belong to the caller.
  header_ = reinterpret_cast<Header*>(const_cast<char*>(data));
  header_size_ = header_size;
  capacity_ = -1;
}

Pickle::Pickle(const Pickle& other) { *this = other; }

Pickle& Pickle::operator=(const Pickle& other) {
  if (this == &other) return *this;
  Free();
  if (!other.IsValid()) return *this;
  size_t total = other.size();
  header_size_ = other.header_size_;
  if (!Resize(std::max(kCapacityUnit, total))) {
    header_size_ = 0;
    return *this;
  }
  memcpy(header_, other.header_, total);
  return *this;
}

Pickle::~Pickle() { Free(); }

size_t Pickle::size() const { return header_ ? header_size_ + header_->payload_size : 0; }

size_t Pickle::payload_size() const { return header_ ? header_->payload_size : 0; }

const char* Pickle::payload() const {
  return header_ ? reinterpret_cast<const char*>(header_) + header_size_ : nullptr;
}

bool Pickle::WriteBytes(const void* data, size_t length) {
  if (!header_ || capacity_ < 0) return false;
  if (length > 0 && data == nullptr) return false;
  size_t offset = AlignUp(header_->payload_size, kAlign);
  if (length > kMaxSize) return false;
  size_t padded = AlignUp(length, kAlign);
  size_t needed = header_size_ + offset + padded;
  if (needed > kMaxSize) return false;
  if (needed > static_cast<size_t>(capacity_) &&
      !Resize(std::max(static_cast<size_t>(capacity_) * 2, needed))) {
    return false;
  }
  char* dest = reinterpret_cast<char*>(header_) + header_size_ + offset;
  if (length > 0) memcpy(dest, data, length);
  memset(dest + length, 0, padded - length);
  header_->payload_size = static_cast<uint32_t>(offset + padded);
  return true;
}

bool Pickle::WriteString(const std::string& value) {
  if (value.size() > kMaxSize) return false;
  // Both parts or nothing: remember the size so a failed second write can be undone.
  uint32_t before = header_ && capacity_ >= 0 ? header_->payload_size : 0;
  if (!WriteInt(static_cast<int>(value.size()))) return false;
  if (!WriteBytes(value.data(), value.size())) {
    header_->payload_size = before;
    return false;
  }
  return true;
}

void Pickle::Invalidate() {
  Free();
  header_size_ = 0;
}

bool Pickle::Resize(size_t new_capacity) {
  new_capacity = AlignUp(new_capacity, kCapacityUnit);
  if (new_capacity > kMaxSize) new_capacity = kMaxSize;
  void* p = realloc(capacity_ > 0 ? header_ : nullptr, new_capacity);
  if (!p) return false;  // the old buffer stays as it was
  header_ = static_cast<Header*>(p);
  capacity_ = static_cast<int>(new_capacity);
  return true;
}

void Pickle::Free() {
  if (capacity_ > 0) free(header_);
  header_ = nullptr;
  capacity_ = 0;
}

PickleIterator::PickleIterator(const Pickle& pickle)
    : payload_(pickle.payload()), end_(pickle.payload_size()) {}

const char* PickleIterator::Advance(size_t length) {
  if (!payload_ || length > end_ - offset_) return nullptr;
  const char* start = payload_ + offset_;
  // A received payload need not end on a multiple of 4; the padding never passes the end.
  offset_ += std::min(AlignUp(length, kAlign), end_ - offset_);
  return start;
}

bool PickleIterator::ReadInt(int* result) {
  const char* p = Advance(sizeof(*result));
  if (!p) return false;
  memcpy(result, p, sizeof(*result));
  return true;
}

bool PickleIterator::ReadUInt32(uint32_t* result) {
  const char* p = Advance(sizeof(*result));
  if (!p) return false;
  memcpy(result, p, sizeof(*result));
  return true;
}

bool PickleIterator::ReadBool(bool* result) {
  int value;
  if (!ReadInt(&value)) return false;
  *result = value != 0;
  return true;
}

bool PickleIterator::ReadBytes(const char** data, size_t length) {
  const char* p = Advance(length);
  if (!p) return false;
  *data = p;
  return true;
}

bool PickleIterator::ReadString(std::string* result) {
  size_t saved = offset_;
  int length;
  if (!ReadInt(&length)) return false;
  const char* p = length >= 0 ? Advance(static_cast<size_t>(length)) : nullptr;
  if (!p) {
    offset_ = saved;
    return false;
  }
  result->assign(p, static_cast<size_t>(length));
  return true;
}
