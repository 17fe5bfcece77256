#pragma once

// An IWICMetadataQueryReader over our own EXIF parse, so the metadata record is read the same way
// whether the imaging component or we understood the file.

#include <wincodec.h>

#include <memory>

#include "image/exif_reader.h"

namespace image {

// Answers exactly "/app1/ifd/{ushort=N}", "/app1/ifd/exif/{ushort=N}" and
// "/app1/ifd/gps/{ushort=N}" (N decimal, case-insensitive names); every other path, and a tag
// that is absent or unusable, gives WINCODEC_ERR_PROPERTYNOTFOUND. Immutable, free-threaded.
HRESULT CreateExifQueryReader(std::shared_ptr<const CExifData> exif,
                              IWICMetadataQueryReader** reader);

// Splits one of the three query forms above into directory and tag.
bool ParseExifQuery(const wchar_t* query, ExifDirectory* dir, uint16_t* tag);

// The value of a field with the types the system's IFD reader gives: ASCII VT_LPSTR, BYTE VT_UI1,
// SHORT VT_UI2, LONG and IFD VT_UI4, RATIONAL VT_UI8 (numerator in the low half), SBYTE VT_I1,
// SSHORT VT_I2, SLONG VT_I4, SRATIONAL VT_I8, FLOAT VT_R4, DOUBLE VT_R8, each as VT_VECTOR of
// that type for more than one element; UNDEFINED VT_BLOB. The caller clears `value`.
HRESULT ExifFieldToPropVariant(const ExifField& field, PROPVARIANT* value);

}  // namespace image
