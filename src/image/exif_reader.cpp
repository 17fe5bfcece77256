#include "image/exif_reader.h"

#include <shlwapi.h>
#include <string.h>

#include <utility>

#include "basic_lib/com_ptr.h"

namespace image {
namespace {

uint16_t Get16(const uint8_t* p, bool big_endian) {
  return big_endian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                    : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t Get32(const uint8_t* p, bool big_endian) {
  return big_endian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                    : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

constexpr size_t kEntrySize = 12;
constexpr uint32_t kTiffHeaderSize = 8;

// A real JPEG has a dozen segments before SOS; this only bounds the work on garbage.
constexpr int kMaxMarkers = 4096;
// How far into the file other segments may push the walk; the Exif and ICC segments we read
// extend it by their own length. Tables and thumbnails of real files take far less.
constexpr uint64_t kMaxOtherSegmentBytes = 256 * 1024;
constexpr uint8_t kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint8_t kIccId[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr size_t kIccChunkHeader = sizeof(kIccId) + 2;  // id, sequence number, chunk count
constexpr size_t kIccHeaderSize = 128;
constexpr uint32_t kReadAhead = 16 * 1024;

// Chunks are kept as read, so what is allocated never exceeds the segments actually present.
class IccAssembler {
 public:
  // `payload` is the chunk's data after its sequence number and count.
  void Add(uint8_t sequence, uint8_t total, CByteSource* source, uint64_t payload, uint32_t size) {
    if (bad_) return;
    if (total == 0 || sequence == 0 || sequence > total || (total_ != 0 && total != total_) ||
        present_[sequence]) {
      bad_ = true;
      return;
    }
    total_ = total;
    std::vector<uint8_t> data(size);
    if (size != 0 && !source->ReadAt(payload, data.data(), size)) {
      bad_ = true;  // the file ends inside the chunk
      return;
    }
    present_[sequence] = true;
    chunks_[sequence] = std::move(data);
  }

  // The chunks in sequence order as one profile; empty on any inconsistency.
  std::vector<uint8_t> Assemble() {
    std::vector<uint8_t> profile;
    if (bad_ || total_ == 0) return profile;
    size_t total_size = 0;
    for (int i = 1; i <= total_; ++i) {
      if (!present_[i]) return profile;
      total_size += chunks_[i].size();
    }
    if (total_size < kIccHeaderSize) return profile;
    profile.reserve(total_size);
    for (int i = 1; i <= total_; ++i) {
      profile.insert(profile.end(), chunks_[i].begin(), chunks_[i].end());
      std::vector<uint8_t>().swap(chunks_[i]);
    }
    // The profile's own size field; writers may pad the last chunk, never cut it short.
    const uint32_t declared = Get32(profile.data(), true);
    if (declared < kIccHeaderSize || declared > profile.size()) {
      profile.clear();
      return profile;
    }
    profile.resize(declared);
    return profile;
  }

 private:
  bool bad_ = false;
  uint8_t total_ = 0;
  bool present_[256] = {};
  std::vector<uint8_t> chunks_[256];
};

}  // namespace

size_t ExifTypeSize(uint16_t type) {
  static const uint8_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < sizeof(kSizes) ? kSizes[type] : 0;
}

uint32_t ExifField::UInt(uint32_t i) const {
  switch (ExifTypeSize(type)) {
    case 1:
      return data[i];
    case 2:
      return Get16(data + 2 * static_cast<size_t>(i), big_endian);
    case 4:
      return Get32(data + 4 * static_cast<size_t>(i), big_endian);
    default:
      return 0;
  }
}

void ExifField::Rational(uint32_t i, uint32_t* numerator, uint32_t* denominator) const {
  const uint8_t* p = data + 8 * static_cast<size_t>(i);
  *numerator = Get32(p, big_endian);
  *denominator = Get32(p + 4, big_endian);
}

uint64_t ExifField::Double(uint32_t i) const {
  const uint8_t* p = data + 8 * static_cast<size_t>(i);
  const uint64_t first = Get32(p, big_endian), second = Get32(p + 4, big_endian);
  return big_endian ? (first << 32 | second) : (second << 32 | first);
}

std::string ExifField::Text() const {
  const size_t size = byte_size();
  const void* nul = memchr(data, 0, size);
  const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
  return std::string(reinterpret_cast<const char*>(data), length);
}

bool CExifData::Parse(std::vector<uint8_t> tiff) {
  storage_ = std::move(tiff);
  view_ = nullptr;
  size_ = storage_.size();
  return ParseBytes();
}

bool CExifData::ParseView(const uint8_t* data, size_t size) {
  storage_.clear();
  view_ = data;
  size_ = data ? size : 0;
  return ParseBytes();
}

bool CExifData::ParseBytes() {
  valid_ = false;
  for (Directory& dir : dirs_) dir = Directory();
  const uint8_t* p = bytes();
  // Offsets are 32-bit; a larger block cannot be addressed anyway (APP1 holds at most 64 KiB).
  if (size_ < kTiffHeaderSize || size_ > UINT32_MAX) return false;
  if (p[0] == 'I' && p[1] == 'I') {
    big_endian_ = false;
  } else if (p[0] == 'M' && p[1] == 'M') {
    big_endian_ = true;
  } else {
    return false;
  }
  if (Get16(p + 2, big_endian_) != 42) return false;
  if (!LoadDirectory(Get32(p + 4, big_endian_), &dirs_[0])) return false;
  valid_ = true;
  LoadSubDirectory(ExifDirectory::kExif, kExifTagExifPointer);
  LoadSubDirectory(ExifDirectory::kGps, kExifTagGpsPointer);
  return true;
}

bool CExifData::LoadDirectory(uint32_t offset, Directory* dir) const {
  if (offset < kTiffHeaderSize || uint64_t{offset} + 2 > size_) return false;
  const uint16_t count = Get16(bytes() + offset, big_endian_);
  if (uint64_t{offset} + 2 + uint64_t{count} * kEntrySize > size_) return false;
  dir->present = true;
  dir->offset = offset;
  dir->count = count;
  return true;
}

void CExifData::LoadSubDirectory(ExifDirectory which, uint16_t pointer_tag) {
  ExifField pointer;
  if (!Find(ExifDirectory::kMain, pointer_tag, &pointer)) return;
  if ((pointer.type != kExifLong && pointer.type != kExifIfd) || pointer.count != 1) return;
  Directory dir;
  if (!LoadDirectory(pointer.UInt(0), &dir)) return;
  // A directory that overlaps one already read is a loop or a forgery, not data.
  const uint64_t begin = dir.offset, end = begin + 2 + uint64_t{dir.count} * kEntrySize;
  for (const Directory& other : dirs_) {
    if (!other.present) continue;
    const uint64_t other_begin = other.offset;
    const uint64_t other_end = other_begin + 2 + uint64_t{other.count} * kEntrySize;
    if (begin < other_end && other_begin < end) return;
  }
  dirs_[static_cast<int>(which)] = dir;
}

uint16_t CExifData::EntryCount(ExifDirectory dir) const {
  const Directory& d = dirs_[static_cast<int>(dir)];
  return d.present ? d.count : 0;
}

bool CExifData::MakeField(const uint8_t* entry, ExifField* field) const {
  const uint16_t type = Get16(entry + 2, big_endian_);
  const uint32_t count = Get32(entry + 4, big_endian_);
  const size_t element = ExifTypeSize(type);
  if (element == 0 || count == 0) return false;
  const uint64_t total = uint64_t{count} * element;
  const uint8_t* data;
  if (total <= 4) {
    data = entry + 8;
  } else {
    const uint32_t offset = Get32(entry + 8, big_endian_);
    if (uint64_t{offset} + total > size_) return false;
    data = bytes() + offset;
  }
  field->type = type;
  field->count = count;
  field->data = data;
  field->big_endian = big_endian_;
  return true;
}

bool CExifData::EntryAt(ExifDirectory dir, uint16_t index, uint16_t* tag, ExifField* field) const {
  const Directory& d = dirs_[static_cast<int>(dir)];
  if (!d.present || index >= d.count) return false;
  const uint8_t* entry = bytes() + d.offset + 2 + static_cast<size_t>(index) * kEntrySize;
  *tag = Get16(entry, big_endian_);
  return MakeField(entry, field);
}

bool CExifData::Find(ExifDirectory dir, uint16_t tag, ExifField* field) const {
  const Directory& d = dirs_[static_cast<int>(dir)];
  if (!d.present) return false;
  const uint8_t* entry = bytes() + d.offset + 2;
  for (uint16_t i = 0; i < d.count; ++i, entry += kEntrySize) {
    if (Get16(entry, big_endian_) == tag) return MakeField(entry, field);
  }
  return false;
}

bool CMemoryByteSource::ReadAt(uint64_t offset, void* buffer, uint32_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  memcpy(buffer, data_ + offset, size);
  return true;
}

bool CStreamByteSource::ReadDirect(uint64_t offset, void* buffer, uint32_t size, uint32_t* got) {
  *got = 0;
  if (!stream_ || offset > static_cast<uint64_t>(INT64_MAX)) return false;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (FAILED(stream_->Seek(to, STREAM_SEEK_SET, nullptr))) return false;
  ULONG read = 0;
  if (FAILED(stream_->Read(buffer, size, &read))) return false;
  *got = read;
  return true;
}

bool CStreamByteSource::ReadAt(uint64_t offset, void* buffer, uint32_t size) {
  if (offset >= block_offset_ && offset - block_offset_ <= block_.size() &&
      size <= block_.size() - (offset - block_offset_)) {
    memcpy(buffer, block_.data() + (offset - block_offset_), size);
    return true;
  }
  if (size > kReadAhead / 2) {
    uint32_t got = 0;
    return ReadDirect(offset, buffer, size, &got) && got == size;
  }
  block_.resize(kReadAhead);
  uint32_t got = 0;
  if (!ReadDirect(offset, block_.data(), kReadAhead, &got)) got = 0;
  block_.resize(got);  // a short read is the end of the file
  block_offset_ = offset;
  if (size > got) return false;
  memcpy(buffer, block_.data(), size);
  return true;
}

bool ReadJpegMetadata(CByteSource* source, JpegMetadata* out) {
  *out = JpegMetadata();
  uint8_t soi[2];
  if (!source->ReadAt(0, soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return false;

  IccAssembler icc;
  uint64_t pos = 2;
  uint64_t limit = kMaxOtherSegmentBytes;
  for (int markers = 0; markers < kMaxMarkers && pos <= limit; ++markers) {
    uint8_t head[4];  // marker and, for most markers, the segment length
    if (!source->ReadAt(pos, head, 4) || head[0] != 0xFF) break;
    const uint8_t marker = head[1];
    if (marker == 0xFF) {  // fill byte before a marker
      pos += 1;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // SOS or EOI: no more header segments
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
      pos += 2;
      continue;
    }
    const uint32_t length = uint32_t{head[2]} << 8 | head[3];
    if (length < 2) break;
    const uint64_t payload = pos + 4;
    const uint32_t payload_size = length - 2;

    if (marker == 0xE1 && !out->exif && payload_size >= sizeof(kExifId)) {
      uint8_t id[sizeof(kExifId)];
      if (source->ReadAt(payload, id, sizeof(id)) && memcmp(id, kExifId, sizeof(id)) == 0) {
        limit += length + 2;
        std::vector<uint8_t> tiff(payload_size - sizeof(kExifId));
        auto exif = std::make_shared<CExifData>();
        if (!tiff.empty() &&
            source->ReadAt(payload + sizeof(kExifId), tiff.data(),
                           static_cast<uint32_t>(tiff.size())) &&
            exif->Parse(std::move(tiff))) {
          out->exif = std::move(exif);
        }
      }
    } else if (marker == 0xE2 && payload_size >= kIccChunkHeader) {
      uint8_t id[kIccChunkHeader];
      if (source->ReadAt(payload, id, sizeof(id)) && memcmp(id, kIccId, sizeof(kIccId)) == 0) {
        limit += length + 2;
        icc.Add(id[sizeof(kIccId)], id[sizeof(kIccId) + 1], source, payload + kIccChunkHeader,
                static_cast<uint32_t>(payload_size - kIccChunkHeader));
      }
    }
    pos = payload + payload_size;
  }
  out->icc_profile = icc.Assemble();
  return true;
}

bool ReadJpegMetadataFromMemory(const void* data, size_t size, JpegMetadata* out) {
  CMemoryByteSource source(data, size);
  return ReadJpegMetadata(&source, out);
}

bool ReadJpegMetadataFromFile(const std::wstring& path, JpegMetadata* out) {
  *out = JpegMetadata();
  basic_lib::ComPtr<IStream> stream;
  if (FAILED(::SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE,
                                      FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream))) {
    return false;
  }
  CStreamByteSource source(stream.Get());
  return ReadJpegMetadata(&source, out);
}

}  // namespace image
