#include "Screenshot.h"

#include "SettingsRecord.h"

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace {

// The settings record's keyword as libpng takes it.
const std::string SETTINGS_KEY_TEXT(SETTINGS_KEYWORD);
const char* const SETTINGS_KEY = SETTINGS_KEY_TEXT.c_str();

// libpng's output callbacks: the bytes go into the SafeFile, which keeps
// the first errno of the disk; nothing here may throw past libpng.
void writeBytes(png_structp png, png_bytep data, png_size_t size)
{
    static_cast<SafeFile*>(png_get_io_ptr(png))->write(data, size);
}

void flushNothing(png_structp) {}

// The same into memory, for files that carry a picture inside them; a
// vector that cannot grow makes the encoder fail through libpng's own error,
// raised once the exception is over (libpng leaves by longjmp).
void appendBytes(png_structp png, png_bytep data, png_size_t size)
{
    auto* bytes = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    bool grown = true;
    try {
        bytes->insert(bytes->end(), data, data + size);
    } catch (...) {
        grown = false;
    }
    if (!grown)
        png_error(png, "not enough memory");
}

// Rows of samples as libpng takes them: 8-bit RGB or 16-bit grey, the
// 16-bit samples in this machine's byte order.
struct PngRows {
    int width;
    int height;
    int bitDepth;
    int colourType;
    const unsigned char* pixels;
    std::size_t rowBytes;
    PngCompression compression;
    const unsigned char* palette = nullptr; // RGB entries of a palette image
    int paletteEntries = 0;
};

// The texts as uncompressed tEXt chunks, written before the image data;
// may longjmp as libpng's other calls do, and holds nothing to destroy.
void setTexts(png_structp png, png_infop info, const PngTexts& texts)
{
    png_text text[2]{};
    int count = 0;
    for (const auto& [key, value] : {std::pair{"Comment", &texts.comment}, std::pair{SETTINGS_KEY, &texts.settings}}) {
        if (value->empty())
            continue;
        text[count].compression = PNG_TEXT_COMPRESSION_NONE;
        text[count].key = const_cast<char*>(key);
        text[count++].text = const_cast<char*>(value->c_str());
    }
    if (count > 0)
        png_set_text(png, info, text, count);
}

// libpng reports errors by longjmp; nothing with a destructor may live
// between setjmp and the calls that can jump.
bool writeRows(void* sink, png_rw_ptr write, const PngRows& image, const PngTexts& texts)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, sink, write, flushNothing);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.palette)
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(image.palette), image.paletteEntries);
    setTexts(png, info, texts);
    if (image.compression == PngCompression::Fast) {
        png_set_compression_level(png, 1);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    }
    png_write_info(png, info);
    if (image.bitDepth == 16 && std::endian::native == std::endian::little)
        png_set_swap(png); // PNG stores samples most significant byte first
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.pixels + static_cast<std::size_t>(y) * image.rowBytes));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool encodeImage(SafeFile& file, const PngRows& image, const PngTexts& texts, std::string& error)
{
    if (!file.failed() && !writeRows(&file, writeBytes, image, texts) && !file.failed()) {
        error = "the PNG encoder failed";
        return false;
    }
    if (file.failed())
        error = failureText(file.failure);
    return !file.failed();
}

PngRows rowsOf(const Image& image, PngCompression compression)
{
    return {image.width, image.height, 8, PNG_COLOR_TYPE_RGB, image.rgb.data(),
            static_cast<std::size_t>(image.width) * 3, compression};
}

PngRows rowsOf(const GreyImage16& image, PngCompression compression)
{
    return {image.width, image.height, 16, PNG_COLOR_TYPE_GRAY, reinterpret_cast<const unsigned char*>(image.grey.data()),
            static_cast<std::size_t>(image.width) * 2, compression};
}

PngRows rowsOf(const IndexedImage& image, PngCompression compression)
{
    return {image.width, image.height, 8, PNG_COLOR_TYPE_PALETTE, image.index.data(),
            static_cast<std::size_t>(image.width), compression, image.palette.data(),
            static_cast<int>(image.palette.size() / 3)};
}

template <typename Picture>
bool writeImage(const SaveTarget& target, const Picture& image, const PngTexts& texts, std::string& error,
                std::string* written, PngCompression compression)
{
    SafeFile file(target);
    if (!encodePng(file, image, texts, error, compression))
        return false;
    if (!file.commit()) {
        error = failureText(file.failure);
        return false;
    }
    if (written)
        *written = file.finalPath;
    return true;
}

} // namespace

bool encodePng(SafeFile& file, const Image& image, const PngTexts& texts, std::string& error,
               PngCompression compression)
{
    return encodeImage(file, rowsOf(image, compression), texts, error);
}

bool encodePng(SafeFile& file, const GreyImage16& image, const PngTexts& texts, std::string& error,
               PngCompression compression)
{
    return encodeImage(file, rowsOf(image, compression), texts, error);
}

bool writePng(const SaveTarget& target, const Image& image, const PngTexts& texts, std::string& error,
              std::string* written, PngCompression compression)
{
    return writeImage(target, image, texts, error, written, compression);
}

bool writePng(const SaveTarget& target, const GreyImage16& image, const PngTexts& texts, std::string& error,
              std::string* written, PngCompression compression)
{
    return writeImage(target, image, texts, error, written, compression);
}

bool writePng(const SaveTarget& target, const IndexedImage& image, const PngTexts& texts, std::string& error,
              std::string* written, PngCompression compression)
{
    return writeImage(target, image, texts, error, written, compression);
}

bool encodePng(SafeFile& file, const IndexedImage& image, const PngTexts& texts, std::string& error,
               PngCompression compression)
{
    return encodeImage(file, rowsOf(image, compression), texts, error);
}

bool encodePngBytes(const Image& image, const PngTexts& texts, std::vector<unsigned char>& bytes,
                    PngCompression compression)
{
    bytes.clear();
    return writeRows(&bytes, appendBytes, rowsOf(image, compression), texts);
}

bool readPng(const std::string& path, Image& image)
{
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&reader, path.c_str()))
        return false;
    reader.format = PNG_FORMAT_RGB;
    image.width = static_cast<int>(reader.width);
    image.height = static_cast<int>(reader.height);
    image.rgb.resize(PNG_IMAGE_SIZE(reader));
    if (!png_image_finish_read(&reader, nullptr, image.rgb.data(), 0, nullptr)) {
        png_image_free(&reader);
        return false;
    }
    return true;
}
