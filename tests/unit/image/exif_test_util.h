#pragma once

// Builders for synthetic TIFF blocks and JPEG headers used by the EXIF reader tests.

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "image/exif_reader.h"

namespace exif_test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes* b, size_t pos, uint16_t v, bool be) {
  (*b)[pos] = static_cast<uint8_t>(be ? v >> 8 : v);
  (*b)[pos + 1] = static_cast<uint8_t>(be ? v : v >> 8);
}

inline void Put32(Bytes* b, size_t pos, uint32_t v, bool be) {
  for (int i = 0; i < 4; ++i) {
    const int shift = be ? 24 - 8 * i : 8 * i;
    (*b)[pos + i] = static_cast<uint8_t>(v >> shift);
  }
}

// Lays out IFD0, the Exif and the GPS directories (in that order, pointers filled in), then the
// values that do not fit into their entries.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool big_endian) : be_(big_endian) {}
  bool big_endian() const { return be_; }

  void Add(image::ExifDirectory dir, uint16_t tag, uint16_t type, uint32_t count, Bytes value) {
    dirs_[static_cast<int>(dir)].push_back({tag, type, count, std::move(value)});
  }
  void AddAscii(image::ExifDirectory dir, uint16_t tag, const std::string& text) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    Add(dir, tag, image::kExifAscii, static_cast<uint32_t>(b.size()), b);
  }
  void AddShorts(image::ExifDirectory dir, uint16_t tag, std::vector<uint16_t> values,
                 uint16_t type = image::kExifShort) {
    Bytes b(values.size() * 2);
    for (size_t i = 0; i < values.size(); ++i) Put16(&b, 2 * i, values[i], be_);
    Add(dir, tag, type, static_cast<uint32_t>(values.size()), b);
  }
  void AddLongs(image::ExifDirectory dir, uint16_t tag, std::vector<uint32_t> values,
                uint16_t type = image::kExifLong) {
    Bytes b(values.size() * 4);
    for (size_t i = 0; i < values.size(); ++i) Put32(&b, 4 * i, values[i], be_);
    Add(dir, tag, type, static_cast<uint32_t>(values.size()), b);
  }
  void AddRationals(image::ExifDirectory dir, uint16_t tag,
                    std::vector<std::pair<uint32_t, uint32_t>> values,
                    uint16_t type = image::kExifRational) {
    Bytes b(values.size() * 8);
    for (size_t i = 0; i < values.size(); ++i) {
      Put32(&b, 8 * i, values[i].first, be_);
      Put32(&b, 8 * i + 4, values[i].second, be_);
    }
    Add(dir, tag, type, static_cast<uint32_t>(values.size()), b);
  }

  Bytes Build() {
    Bytes out(8);
    out[0] = out[1] = be_ ? 'M' : 'I';
    Put16(&out, 2, 42, be_);
    Put32(&out, 4, 8, be_);
    std::vector<Entry> main = dirs_[0];
    const bool has_exif = !dirs_[1].empty(), has_gps = !dirs_[2].empty();
    if (has_exif) main.push_back({image::kExifTagExifPointer, image::kExifLong, 1, Bytes(4)});
    if (has_gps) main.push_back({image::kExifTagGpsPointer, image::kExifLong, 1, Bytes(4)});
    const std::vector<Entry>* lists[3] = {&main, &dirs_[1], &dirs_[2]};
    uint32_t at = 8;
    for (int d = 0; d < 3; ++d) {
      dir_offset_[d] = at;
      if (d > 0 && lists[d]->empty()) continue;
      at += static_cast<uint32_t>(2 + 12 * lists[d]->size() + 4);
    }
    out.resize(at);
    uint32_t data_at = at;
    entry_pos_.clear();
    for (int d = 0; d < 3; ++d) {
      if (d > 0 && lists[d]->empty()) continue;
      size_t pos = dir_offset_[d];
      Put16(&out, pos, static_cast<uint16_t>(lists[d]->size()), be_);
      pos += 2;
      for (const Entry& e : *lists[d]) {
        entry_pos_.push_back({{d, e.tag}, pos});
        Put16(&out, pos, e.tag, be_);
        Put16(&out, pos + 2, e.type, be_);
        Put32(&out, pos + 4, e.count, be_);
        Bytes value = e.value;
        if (d == 0 && e.tag == image::kExifTagExifPointer) Put32(&value, 0, dir_offset_[1], be_);
        if (d == 0 && e.tag == image::kExifTagGpsPointer) Put32(&value, 0, dir_offset_[2], be_);
        if (value.size() <= 4) {
          for (size_t i = 0; i < value.size(); ++i) out[pos + 8 + i] = value[i];
        } else {
          Put32(&out, pos + 8, data_at, be_);
          out.insert(out.end(), value.begin(), value.end());
          data_at += static_cast<uint32_t>(value.size());
        }
        pos += 12;
      }
      Put32(&out, pos, 0, be_);  // no next directory
    }
    return out;
  }

  // Where the 12-byte entry of a tag landed in the last Build().
  size_t EntryPos(image::ExifDirectory dir, uint16_t tag) const {
    for (const auto& p : entry_pos_) {
      if (p.first.first == static_cast<int>(dir) && p.first.second == tag) return p.second;
    }
    return 0;
  }
  uint32_t DirOffset(image::ExifDirectory dir) const { return dir_offset_[static_cast<int>(dir)]; }

 private:
  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    Bytes value;
  };
  bool be_;
  std::vector<Entry> dirs_[3];
  uint32_t dir_offset_[3] = {0, 0, 0};
  std::vector<std::pair<std::pair<int, uint16_t>, size_t>> entry_pos_;
};

// A JPEG header: SOI, the given segments, then SOS with a few bytes of scan data and EOI.
class JpegBuilder {
 public:
  JpegBuilder() : bytes_{0xFF, 0xD8} {}
  JpegBuilder& Segment(uint8_t marker, const Bytes& payload) {
    bytes_.push_back(0xFF);
    bytes_.push_back(marker);
    const size_t length = payload.size() + 2;
    bytes_.push_back(static_cast<uint8_t>(length >> 8));
    bytes_.push_back(static_cast<uint8_t>(length));
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
    return *this;
  }
  JpegBuilder& Exif(const Bytes& tiff) {
    Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
    payload.insert(payload.end(), tiff.begin(), tiff.end());
    return Segment(0xE1, payload);
  }
  JpegBuilder& Icc(uint8_t sequence, uint8_t total, const Bytes& data) {
    const char id[] = "ICC_PROFILE";
    Bytes payload(id, id + sizeof(id));
    payload.push_back(sequence);
    payload.push_back(total);
    payload.insert(payload.end(), data.begin(), data.end());
    return Segment(0xE2, payload);
  }
  JpegBuilder& Raw(const Bytes& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  // Start of scan; returns where its marker begins.
  size_t Sos() {
    const size_t at = bytes_.size();
    Segment(0xDA, Bytes{1, 1, 0, 0, 0x3F, 0});
    bytes_.insert(bytes_.end(), {0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD9});
    return at;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

// A synthetic ICC profile of `size` bytes (at least 128) whose header declares `declared`.
inline Bytes MakeIcc(size_t size, uint32_t declared) {
  Bytes icc(size);
  for (size_t i = 0; i < size; ++i) icc[i] = static_cast<uint8_t>(i * 7 + 3);
  Put32(&icc, 0, declared, true);
  return icc;
}

// Counts what a walk reads, so a test can see where it stops.
class CountingSource : public image::CByteSource {
 public:
  explicit CountingSource(image::CByteSource* inner) : inner_(inner) {}
  bool ReadAt(uint64_t offset, void* buffer, uint32_t size) override {
    ++reads;
    bytes_read += size;
    if (offset + size > end) end = offset + size;
    return inner_->ReadAt(offset, buffer, size);
  }
  int reads = 0;
  uint64_t bytes_read = 0, end = 0;

 private:
  image::CByteSource* inner_;
};

// Places bytes so that they end exactly where a no-access page begins: a read past the end of
// the block faults instead of passing unnoticed.
class GuardedArena {
 public:
  GuardedArena() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    page_ = info.dwPageSize;
    capacity_ = ((256 * 1024 + page_ - 1) / page_) * page_;
    base_ = static_cast<uint8_t*>(
        ::VirtualAlloc(nullptr, capacity_ + page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    ok_ = base_ && ::VirtualProtect(base_ + capacity_, page_, PAGE_NOACCESS, &old);
  }
  ~GuardedArena() {
    if (base_) ::VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedArena(const GuardedArena&) = delete;
  GuardedArena& operator=(const GuardedArena&) = delete;
  bool ok() const { return ok_; }
  // Valid until the next call.
  const uint8_t* Place(const Bytes& bytes) {
    if (bytes.size() > capacity_) return nullptr;
    uint8_t* at = base_ + capacity_ - bytes.size();
    if (!bytes.empty()) memcpy(at, bytes.data(), bytes.size());
    return at;
  }

 private:
  size_t page_ = 0, capacity_ = 0;
  uint8_t* base_ = nullptr;
  bool ok_ = false;
};

}  // namespace exif_test
