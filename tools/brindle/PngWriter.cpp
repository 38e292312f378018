#include "PngWriter.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "Render.h"

namespace {

// libpng reports errors by calling this and expects it not to return; the message is kept for
// the caller before jumping back.
void onError(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

// Everything that must outlive the jump back lives here, outside the function that calls setjmp.
struct TpngFile {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    ~TpngFile() {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file) std::fclose(file);
    }
};

bool writeRows(TpngFile& f, const TrenderImage& image) {
    if (setjmp(png_jmpbuf(f.png))) return false;
    png_init_io(f.png, f.file);
    png_set_IHDR(f.png, f.info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(f.png, f.info);
    png_write_image(f.png, f.rows.data());
    png_write_end(f.png, nullptr);
    return true;
}

}  // namespace

bool writePng(const std::string& path, const TrenderImage& image, std::string& error) {
    TpngFile f;
    std::string message;
    f.file = std::fopen(path.c_str(), "wb");
    if (!f.file) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    f.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, onError, onWarning);
    f.info = f.png ? png_create_info_struct(f.png) : nullptr;
    if (!f.info) {
        error = path + ": out of memory for the PNG writer";
        return false;
    }
    f.rows.resize(size_t(image.height));
    for (int y = 0; y < image.height; ++y) f.rows[size_t(y)] = const_cast<png_bytep>(image.pixel(0, y));
    bool ok = writeRows(f, image);
    // A full disk shows only when the buffered tail is flushed.
    if (ok && (std::fflush(f.file) != 0 || std::ferror(f.file))) {
        message = std::strerror(errno);
        ok = false;
    }
    if (!ok) error = path + ": write failed: " + message;
    return ok;
}
