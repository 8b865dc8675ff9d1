#include "richtext/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace JpegDecoder {
namespace {

// Even a flat picture needs some bits per 8x8 block; a header that claims vastly more pixels than its bytes
// could carry is a decoy for a huge allocation.
constexpr qint64 MaxPixelsPerByte = 4096;
// Progressive files can repeat scans without end; real encoders write about a dozen.
constexpr long MaxScans = 256;

struct ErrorManager
{
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
};

[[noreturn]] void abortDecoding(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

// Warnings about corrupt data are expected on hostile input; nothing is printed.
void ignoreMessage(j_common_ptr, int) {}

struct ScanLimiter
{
    jpeg_progress_mgr base{};
};

void countScans(j_common_ptr info)
{
    auto *d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > MaxScans)
        abortDecoding(info);
}

// libjpeg scales by 1/2, 1/4 and 1/8 while decoding, at a fraction of the work of a full decode.
int scaleDenominator(QSize full, QSize wanted)
{
    int denominator = 1;
    while (denominator < 8 && !wanted.isEmpty() && full.width() / (denominator * 2) >= wanted.width() &&
           full.height() / (denominator * 2) >= wanted.height())
        denominator *= 2;
    return denominator;
}

// Kept out of decode() so that no object with a destructor lives across setjmp.
bool readInto(jpeg_decompress_struct &info, QImage &image, std::vector<JSAMPLE> &row, qint64 maxPixels, QSize wanted)
{
    jpeg_read_header(&info, TRUE);
    const qint64 fullWidth = info.image_width;
    const qint64 fullHeight = info.image_height;
    if (fullWidth <= 0 || fullHeight <= 0 || fullWidth > MaxDimension || fullHeight > MaxDimension)
        return false;
    if (fullWidth * fullHeight > qint64(info.src->bytes_in_buffer) * MaxPixelsPerByte)
        return false;
    const int denominator = scaleDenominator(QSize(int(fullWidth), int(fullHeight)), wanted);
    const qint64 width = (fullWidth + denominator - 1) / denominator;
    const qint64 height = (fullHeight + denominator - 1) / denominator;
    if (width * height > qMin(maxPixels, MaxPixels))
        return false;
    info.scale_num = 1;
    info.scale_denom = unsigned(denominator);

    const bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = gray ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    if (int(info.output_width) != width || int(info.output_height) != height)
        return false;
    image = QImage(int(width), int(height), gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull())
        return false;
    if (cmyk)
        row.resize(size_t(width) * 4);
    while (info.output_scanline < info.output_height) {
        uchar *line = image.scanLine(int(info.output_scanline));
        JSAMPROW target = cmyk ? row.data() : line;
        if (jpeg_read_scanlines(&info, &target, 1) != 1)
            break;
        if (cmyk) {
            // Adobe writes CMYK inverted: the stored value is 255 - ink.
            for (qint64 x = 0; x < width; ++x) {
                const int k = row[x * 4 + 3];
                line[x * 3] = uchar(row[x * 4] * k / 255);
                line[x * 3 + 1] = uchar(row[x * 4 + 1] * k / 255);
                line[x * 3 + 2] = uchar(row[x * 4 + 2] * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

// Runs read(info) with libjpeg's errors turned into a false result.
template <typename Read> bool withDecompressor(QByteArrayView jpeg, Read read)
{
    jpeg_decompress_struct info{};
    ErrorManager errors;
    ScanLimiter limiter;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = abortDecoding;
    errors.base.emit_message = ignoreMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    limiter.base.progress_monitor = countScans;
    info.progress = &limiter.base;
    // Bounds libjpeg's own working memory (coefficient buffers of progressive files) as well.
    info.mem->max_memory_to_use = 512L * 1024 * 1024;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(jpeg.data()), static_cast<unsigned long>(jpeg.size()));
    const bool ok = read(info);
    jpeg_destroy_decompress(&info);
    return ok;
}

} // namespace

QSize decodedSize(QSize full, QSize wanted)
{
    if (full.isEmpty())
        return {};
    const int denominator = scaleDenominator(full, wanted);
    return QSize((full.width() + denominator - 1) / denominator, (full.height() + denominator - 1) / denominator);
}

QImage decode(QByteArrayView jpeg, qint64 maxPixels, QSize wanted)
{
    if (jpeg.size() < 4)
        return {};
    QImage image;
    std::vector<JSAMPLE> row;
    const bool ok = withDecompressor(
        jpeg, [&](jpeg_decompress_struct &info) { return readInto(info, image, row, maxPixels, wanted); });
    return ok ? image : QImage();
}

QSize imageSize(QByteArrayView jpeg)
{
    if (jpeg.size() < 4)
        return {};
    QSize size;
    withDecompressor(jpeg, [&](jpeg_decompress_struct &info) {
        jpeg_read_header(&info, TRUE);
        size = QSize(int(qMin<JDIMENSION>(info.image_width, 0x7FFFFFFF)),
                     int(qMin<JDIMENSION>(info.image_height, 0x7FFFFFFF)));
        return true;
    });
    return size;
}

} // namespace JpegDecoder
