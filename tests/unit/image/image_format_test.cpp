#include "image/image_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FormatCase {
  const wchar_t* path;
  ImageFormat expected;
};

const FormatCase kFormatCases[] = {
    {L"photo.JPG", ImageFormat::Jpeg},
    {L"photo.Jpeg", ImageFormat::Jpeg},
    {L"C:\\my.photos\\photo.jfif", ImageFormat::Jpeg},
    {L"C:\\a\\b.jpe", ImageFormat::Jpeg},
    {L"a.bmp", ImageFormat::Bmp},
    {L"a.DIB", ImageFormat::Bmp},
    {L"a.gif", ImageFormat::Gif},
    {L"a.tif", ImageFormat::Tiff},
    {L"a.tiff", ImageFormat::Tiff},
    {L"a.png", ImageFormat::Png},
    {L"a.ico", ImageFormat::Ico},
    {L"a.psd", ImageFormat::Psd},
    {L"a.tga", ImageFormat::Tga},
    {L"a.oxo", ImageFormat::Oxo},
    {L"a.wmf", ImageFormat::Wmf},
    {L"a.emf", ImageFormat::Emf},
    // Own groups are searched before Other, which lists them too.
    {L"a.jng", ImageFormat::Jng},
    {L"a.j2c", ImageFormat::J2c},
    {L"a.jp2", ImageFormat::Other},
    {L"a.webp", ImageFormat::Other},
    {L"a.WebP", ImageFormat::Other},
    {L"a.nef", ImageFormat::Raw},
    {L"a.3fr", ImageFormat::Raw},
    {L"a.x3f", ImageFormat::Raw},
    {L"a.cut", ImageFormat::Other},
    {L"a.xpm", ImageFormat::Other},
    {L"README", ImageFormat::None},
    {L"archive.", ImageFormat::None},
    {L"C:\\folder.jpg\\file", ImageFormat::None},
    {L"a.targa", ImageFormat::None},
    {L"a.ti", ImageFormat::None},
    // Whole entries only: neither a part of one entry nor two entries joined match.
    {L"a.pg", ImageFormat::None},
    {L"a.jpg,jpeg", ImageFormat::None},
    {L"a.,", ImageFormat::None},
    {L"a.jpg.txt", ImageFormat::None},
    {L"a.txt.png", ImageFormat::Png},
    {L".png", ImageFormat::Png},
    {L"", ImageFormat::None},
    {L"a.jpgjpgjpgjpgjpgjpgjpgjpgjpgjpgjpgjpgjpgjpgjpgjpg", ImageFormat::None},
};

TEST(ImageFormatTest, ClassifiesByExtensionOfLastComponent) {
  for (const FormatCase& c : kFormatCases) {
    EXPECT_EQ(c.expected, GetImageFormat(std::wstring(c.path))) << c.path;
    EXPECT_EQ(c.expected, GetImageFormat(c.path)) << c.path;
  }
  EXPECT_EQ(ImageFormat::None, GetImageFormat(static_cast<const wchar_t*>(nullptr)));
}

TEST(ImageFormatTest, EnumKeepsStoredValues) {
  EXPECT_EQ(10, static_cast<int>(ImageFormat::Raw));
  EXPECT_EQ(11, static_cast<int>(ImageFormat::Other));
  EXPECT_EQ(15, static_cast<int>(ImageFormat::J2c));
}

TEST(ImageFormatTest, SystemFormatsAreOneToFive) {
  for (int id = 0; id <= 15; ++id) {
    EXPECT_EQ(id >= 1 && id <= 5, IsSystemFormat(static_cast<ImageFormat>(id))) << id;
  }
  EXPECT_FALSE(IsViewableFormat(ImageFormat::None));
  EXPECT_TRUE(IsViewableFormat(ImageFormat::Other));
  // The association page asks about a bare extension as "a." + ext.
  EXPECT_TRUE(IsSystemFormat(GetImageFormat(std::wstring(L"a.") + L"jfif")));
  EXPECT_STREQ(L",jpg,jpeg,jfif,jpe,", GetFormatExtensionList(ImageFormat::Jpeg));
}

TEST(ImageFormatTest, OpenFilterSubstitutesTextLiterally) {
  const std::wstring filter = BuildOpenDialogFilter(L"Pictures 100%s");
  EXPECT_EQ(0u, filter.find(L"Pictures 100%s (*.*)|*.bmp;*.dib;"));
  EXPECT_NE(std::wstring::npos, filter.find(L";*.targa;"));
  EXPECT_EQ(std::wstring::npos, filter.find(L"*.oxo"));
  EXPECT_EQ(std::wstring::npos, filter.find(L"*.wmf"));
  EXPECT_EQ(L"||", filter.substr(filter.size() - 2));
}

TEST(ImageFormatTest, SaveFilterIndexMapsToExtension) {
  const struct {
    int index;
    const wchar_t* ext;
  } cases[] = {{1, L".jpg"},  {2, L".png"}, {3, L".bmp"}, {4, L".gif"},
               {5, L".tiff"}, {0, L".jpg"}, {6, L".jpg"}, {-1, L".jpg"}};
  for (const auto& c : cases) EXPECT_STREQ(c.ext, SaveFilterIndexToExtension(c.index)) << c.index;
  EXPECT_STREQ(L"JPEG|*.jpg|PNG|*.png|BMP|*.bmp|GIF|*.gif|TIFF|*.tiff||", kSaveDialogFilter);
}

}  // namespace
