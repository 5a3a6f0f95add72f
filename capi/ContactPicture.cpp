// Contact pictures: libjpeg first, then libpng, into 32-bit ARGB pixels.

#include "ContactPicture.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace {

bool SidesAccepted(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= uint64_t(kMaxPictureSide) && height <= uint64_t(kMaxPictureSide);
}

// --- JPEG ----------------------------------------------------------------

// A progressive JPEG can carry thousands of tiny scans that each cost a pass
// over the whole image; real pictures have a dozen at most.
constexpr int kMaxJpegScans = 500;

struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Escape;
};

[[noreturn]] void JpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Escape, 1);
}

// Warnings pass silently, except running out of data: a truncated picture
// would otherwise come out as a grey-filled one.
void JpegWarning(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        JpegFail(info);
}

void JpegProgress(j_common_ptr info)
{
    if (info->is_decompressor) {
        auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
        if (decompress->input_scan_number > kMaxJpegScans)
            JpegFail(info);
    }
}

// Fills pixels (sized here) and returns true; no C++ object is created
// between setjmp and the end of the function, so longjmp skips no destructor.
bool DecodeJpegInto(const uint8_t* bytes, size_t size, TBitmap& bitmap)
{
    jpeg_decompress_struct info;
    TJpegError error;
    jpeg_progress_mgr progress;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JpegFail;
    error.Manager.emit_message = JpegWarning;
    progress.progress_monitor = JpegProgress;
    if (setjmp(error.Escape) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (!SidesAccepted(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // Little-endian 0xAARRGGBB is the byte order B, G, R, A.
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    const size_t width = info.output_width;
    const size_t height = info.output_height;
    if (!SidesAccepted(width, height) || info.output_components != 4) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    bitmap.Width = int(width);
    bitmap.Height = int(height);
    bitmap.Pixels.resize(width * height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(bitmap.Pixels.data() + size_t(info.output_scanline) * width);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

std::optional<TBitmap> DecodeJpeg(const uint8_t* bytes, size_t size)
{
    TBitmap bitmap;
    if (!DecodeJpegInto(bytes, size, bitmap))
        return std::nullopt;
    return bitmap;
}

// --- PNG -----------------------------------------------------------------

std::optional<TBitmap> DecodePng(const uint8_t* bytes, size_t size)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size))
        return std::nullopt;
    if (!SidesAccepted(image.width, image.height)) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_BGRA;
    TBitmap bitmap;
    bitmap.Width = int(image.width);
    bitmap.Height = int(image.height);
    bitmap.Pixels.resize(size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, bitmap.Pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return bitmap;
}

} // namespace

std::optional<TBitmap> DecodeContactPicture(const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr || size == 0)
        return std::nullopt;
    if (std::optional<TBitmap> jpeg = DecodeJpeg(bytes, size))
        return jpeg;
    return DecodePng(bytes, size);
}
