#include "Screenshot.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace {

// libpng's output callbacks: the bytes go into the SafeFile, which keeps
// the first errno of the disk; nothing here may throw past libpng.
void writeBytes(png_structp png, png_bytep data, png_size_t size)
{
    static_cast<SafeFile*>(png_get_io_ptr(png))->write(data, size);
}

void flushNothing(png_structp) {}

// libpng reports errors by longjmp; nothing with a destructor may live
// between setjmp and the calls that can jump.
bool writeRows(SafeFile& file, const Image& image, const std::string& comment)
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
    png_set_write_fn(png, &file, writeBytes, flushNothing);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Comment");
    text.text = const_cast<char*>(comment.c_str());
    if (!comment.empty())
        png_set_text(png, info, &text, 1);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(&image.rgb[static_cast<std::size_t>(y) * image.width * 3]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const SaveTarget& target, const Image& image, const std::string& comment, std::string& error,
              std::string* written)
{
    SafeFile file(target);
    if (!file.failed() && !writeRows(file, image, comment) && !file.failed()) {
        error = "the PNG encoder failed";
        return false;
    }
    if (!file.commit()) {
        error = failureText(file.failure);
        return false;
    }
    if (written)
        *written = file.finalPath;
    return true;
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
