#pragma once

// Our own reader of the camera metadata of a JPEG: the APP1 "Exif\0\0" block (IFD0, the Exif and
// the GPS directories) and the APP2 "ICC_PROFILE" chunks. Used where the imaging component exposes
// no metadata of its own. Every offset and count comes from the file and is checked against the
// segment that holds it; a bad field reads as absent, it never fails the whole file.

#include <objidl.h>
#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

namespace image {

enum class ExifDirectory : int { kMain = 0, kExif = 1, kGps = 2 };

// TIFF field types.
enum ExifType : uint16_t {
  kExifByte = 1,
  kExifAscii = 2,
  kExifShort = 3,
  kExifLong = 4,
  kExifRational = 5,
  kExifSByte = 6,
  kExifUndefined = 7,
  kExifSShort = 8,
  kExifSLong = 9,
  kExifSRational = 10,
  kExifFloat = 11,
  kExifDouble = 12,
  kExifIfd = 13,
};

// Bytes of one element of a type; 0 for an unknown type.
size_t ExifTypeSize(uint16_t type);

constexpr uint16_t kExifTagExifPointer = 34665;
constexpr uint16_t kExifTagGpsPointer = 34853;

// One field whose whole value lies inside the TIFF block; a view, valid while the block lives.
struct ExifField {
  uint16_t type = 0;
  uint32_t count = 0;  // elements; count * ExifTypeSize(type) bytes at data
  const uint8_t* data = nullptr;
  bool big_endian = false;

  size_t byte_size() const { return static_cast<size_t>(count) * ExifTypeSize(type); }
  // Raw bits of element i of an integer or float type (BYTE, SHORT, LONG, their signed forms,
  // FLOAT, IFD), zero-extended. i < count.
  uint32_t UInt(uint32_t i) const;
  // Element i of a RATIONAL or SRATIONAL field as its two raw 32-bit words. i < count.
  void Rational(uint32_t i, uint32_t* numerator, uint32_t* denominator) const;
  // Element i of a DOUBLE field as raw bits. i < count.
  uint64_t Double(uint32_t i) const;
  // ASCII value up to its first NUL (or all count bytes when there is none).
  std::string Text() const;
};

// The TIFF structure that follows "Exif\0\0": header, IFD0 and its two sub-directories. Only IFD0
// is read of the main chain (the thumbnail IFD is not needed), so chains cannot loop.
class CExifData {
 public:
  // Keeps the bytes (move them in). False when the header or IFD0 is unusable.
  bool Parse(std::vector<uint8_t> tiff);
  // Reads the caller's bytes in place; they must outlive this object and its copies.
  bool ParseView(const uint8_t* data, size_t size);

  bool valid() const { return valid_; }
  const uint8_t* data() const { return bytes(); }
  bool big_endian() const { return big_endian_; }
  size_t size() const { return size_; }
  bool HasDirectory(ExifDirectory dir) const { return dirs_[static_cast<int>(dir)].present; }
  uint16_t EntryCount(ExifDirectory dir) const;
  // The tag of entry `index`; its value through `field` when the value is usable.
  bool EntryAt(ExifDirectory dir, uint16_t index, uint16_t* tag, ExifField* field) const;
  // The first entry with `tag`. False when absent or its value is unusable.
  bool Find(ExifDirectory dir, uint16_t tag, ExifField* field) const;

 private:
  struct Directory {
    bool present = false;
    uint32_t offset = 0;
    uint16_t count = 0;
  };

  const uint8_t* bytes() const { return view_ ? view_ : storage_.data(); }
  bool ParseBytes();
  bool LoadDirectory(uint32_t offset, Directory* dir) const;
  bool MakeField(const uint8_t* entry, ExifField* field) const;
  void LoadSubDirectory(ExifDirectory which, uint16_t pointer_tag);

  std::vector<uint8_t> storage_;
  const uint8_t* view_ = nullptr;
  size_t size_ = 0;
  bool valid_ = false;
  bool big_endian_ = false;
  Directory dirs_[3];
};

// Random access to the bytes of a file; the seam between the marker walk and its storage.
class CByteSource {
 public:
  virtual ~CByteSource() = default;
  // Exactly `size` bytes at `offset`, or false.
  virtual bool ReadAt(uint64_t offset, void* buffer, uint32_t size) = 0;
};

class CMemoryByteSource : public CByteSource {
 public:
  CMemoryByteSource(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  bool ReadAt(uint64_t offset, void* buffer, uint32_t size) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Reads through an IStream (the caller keeps it alive); moves its seek pointer. Small reads are
// served from one read-ahead block, as the headers of a JPEG usually lie within its first pages.
class CStreamByteSource : public CByteSource {
 public:
  explicit CStreamByteSource(IStream* stream) : stream_(stream) {}
  bool ReadAt(uint64_t offset, void* buffer, uint32_t size) override;

 private:
  bool ReadDirect(uint64_t offset, void* buffer, uint32_t size, uint32_t* got);

  IStream* stream_;
  std::vector<uint8_t> block_;
  uint64_t block_offset_ = 0;
};

struct JpegMetadata {
  // The first APP1 "Exif\0\0" segment whose TIFF header and IFD0 are usable; null when none.
  std::shared_ptr<CExifData> exif;
  // The ICC profile assembled from every APP2 "ICC_PROFILE" chunk; empty when there is none or
  // its chunks are inconsistent (missing, duplicate, disagreeing counts, truncated).
  std::vector<uint8_t> icc_profile;
};

// Walks the markers from SOI up to SOS (never into the entropy-coded data). False when the
// bytes do not start as a JPEG; a damaged segment only ends the walk early.
bool ReadJpegMetadata(CByteSource* source, JpegMetadata* out);
bool ReadJpegMetadataFromMemory(const void* data, size_t size, JpegMetadata* out);
// Opens the file read-only, sharing everything.
bool ReadJpegMetadataFromFile(const std::wstring& path, JpegMetadata* out);

}  // namespace image
