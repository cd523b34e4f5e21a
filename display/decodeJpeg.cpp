#include "display/decoders.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

// The library hands the data over in blocks of this size at most.
constexpr std::size_t sourceBlockSize = 4096;

// The most scans a file may have. Every scan of a progressive (or multi-scan) file passes over the
// whole coefficient store, so a small file of empty scans would otherwise cost scans x area. A
// standard progressive script has 6 (grey) to 10 (colour) scans and tuned encoders a few dozen; 500
// leaves room for every real encoder while bounding the work.
constexpr int maxJpegScans = 500;

// The most memory the library may take for its own buffers (the whole-image coefficient store of a
// multi-scan file above all): as much as the largest picture's pixels, 1 GiB. Without backing store
// the library fails a file that needs more, before it allocates it.
constexpr long maxJpegLibraryBytes = long(maxPicturePixels) * 4;

// The most samples (pixels x components) a file may declare: the pixel cap at four components, so
// that no component count makes the library's per-row buffers outgrow the largest picture.
constexpr std::int64_t maxJpegSamples = maxPicturePixels * 4;

const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};

struct SourceManager {
    jpeg_source_mgr base; // first, so the library's pointer is ours
    std::span<const std::uint8_t> file;
    std::size_t nextBlock = 0;
    bool endMarkerSupplied = false;
};

struct ErrorManager {
    jpeg_error_mgr base; // first, so the library's pointer is ours
    std::jmp_buf jump;
};

// Everything the decode keeps across a jump out of the library lives here, owned by decodeJpeg.
struct JpegDecode {
    jpeg_decompress_struct info{};
    ErrorManager error{};
    SourceManager source{};
    jpeg_progress_mgr progress{};
    std::optional<Picture> picture;
};

[[noreturn]] void failDecode(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings and traces are ignored; nothing is ever printed.
void ignoreMessage(j_common_ptr, int) {}
void ignoreOutput(j_common_ptr) {}

// Called before each piece of input the library absorbs (a marker segment or a row of blocks), so a
// file with too many scans ends as soon as the scan past the cap begins.
void limitScans(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > maxJpegScans) {
        failDecode(info);
    }
}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<SourceManager*>(info->src);
    if (source->nextBlock < source->file.size()) {
        const std::size_t left = source->file.size() - source->nextBlock;
        const std::size_t count = left < sourceBlockSize ? left : sourceBlockSize;
        source->base.next_input_byte = source->file.data() + source->nextBlock;
        source->base.bytes_in_buffer = count;
        source->nextBlock += count;
        return TRUE;
    }
    // At the end of the file an end-of-image marker lets a truncated picture finish, its missing
    // part filled by the library. A file that gave nothing, or a request after that marker (the
    // library is still looking for data it will never get), ends the decode.
    if (source->nextBlock == 0 || source->endMarkerSupplied) {
        failDecode(reinterpret_cast<j_common_ptr>(info));
    }
    source->endMarkerSupplied = true;
    source->base.next_input_byte = endOfImage;
    source->base.bytes_in_buffer = sizeof endOfImage;
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0) {
        return;
    }
    jpeg_source_mgr* source = info->src;
    std::size_t skip = std::size_t(count);
    while (skip > source->bytes_in_buffer) {
        skip -= source->bytes_in_buffer;
        source->bytes_in_buffer = 0;
        fillInputBuffer(info);
    }
    source->next_input_byte += skip;
    source->bytes_in_buffer -= skip;
}

// Kept out of line so that the Picture and its temporaries are built outside the function that
// called setjmp.
[[gnu::noinline]] bool allocateOutput(JpegDecode& decode, std::int64_t width, std::int64_t height)
{
    decode.picture = allocatePicture(PictureKind::Jpeg, width, height);
    return decode.picture.has_value();
}

// Scales a channel by another, both 0..255, rounding to nearest.
std::uint32_t product(std::uint32_t a, std::uint32_t b)
{
    return (a * b + 127) / 255;
}

// One row of library output into opaque pixels.
void convertRow(const JSAMPLE* in, std::uint32_t* out, JDIMENSION width, int components, bool adobeCmyk)
{
    switch (components) {
    case 3:
        for (JDIMENSION x = 0; x < width; ++x, in += 3) {
            out[x] = opaquePixel(in[0], in[1], in[2]);
        }
        break;
    case 4:
        // CMYK (YCCK arrives converted to CMYK). Files with Adobe's marker store every channel
        // inverted, so there the stored value is already the amount of light: red = (1 - C)(1 - K)
        // becomes stored C times stored K.
        for (JDIMENSION x = 0; x < width; ++x, in += 4) {
            std::uint32_t c = in[0], m = in[1], y = in[2], k = in[3];
            if (!adobeCmyk) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            out[x] = opaquePixel(product(c, k), product(m, k), product(y, k));
        }
        break;
    default:
        // Greyscale; any other component count shows its first component as grey.
        for (JDIMENSION x = 0; x < width; ++x, in += components) {
            out[x] = opaquePixel(in[0], in[0], in[0]);
        }
        break;
    }
}

// Rows written by the library into the picture itself, as many per call as it offers.
void readRowsDirect(j_decompress_ptr info, std::uint32_t* pixels)
{
    constexpr JDIMENSION rowsPerCall = 16;
    JSAMPROW rows[rowsPerCall];
    while (info->output_scanline < info->output_height) {
        const JDIMENSION y = info->output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(rowsPerCall, info->output_height - y);
        for (JDIMENSION i = 0; i < count; ++i) {
            rows[i] = reinterpret_cast<JSAMPROW>(pixels + std::size_t(y + i) * info->output_width);
        }
        if (jpeg_read_scanlines(info, rows, count) == 0) {
            failDecode(reinterpret_cast<j_common_ptr>(info));
        }
    }
}

// Rows of CMYK (and other component counts) through a row buffer of the library's and convertRow.
void readRowsConverted(j_decompress_ptr info, std::uint32_t* pixels)
{
    const int components = info->output_components;
    const bool adobeCmyk = info->saw_Adobe_marker != 0;
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * JDIMENSION(components), 1);
    while (info->output_scanline < info->output_height) {
        const JDIMENSION y = info->output_scanline;
        if (jpeg_read_scanlines(info, row, 1) != 1) {
            failDecode(reinterpret_cast<j_common_ptr>(info));
        }
        convertRow(row[0], pixels + std::size_t(y) * info->output_width, info->output_width, components,
                   adobeCmyk);
    }
}

// The library's decompression sequence. No object with a destructor is built in this function
// after setjmp: a jump back skips no destructor, and decodeJpeg releases what was built.
bool runDecompression(JpegDecode& decode)
{
    j_decompress_ptr info = &decode.info;
    if (setjmp(decode.error.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(info);
    info->src = &decode.source.base;
    info->progress = &decode.progress;
    info->mem->max_memory_to_use = maxJpegLibraryBytes;

    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    // The library's own buffers grow with the picture and its components: refuse an oversized one
    // before it starts.
    const auto declared = checkedPixelCount(info->image_width, info->image_height);
    if (!declared || std::int64_t(*declared) * info->num_components > maxJpegSamples) {
        return false;
    }
    // Where the library itself makes red, green and blue (colour and greyscale files), it writes them
    // straight into the picture as blue, green, red and an opaque fourth byte: the same values as its
    // default RGB output, without a second pass over the picture.
    const bool direct = info->out_color_space == JCS_RGB || info->out_color_space == JCS_GRAYSCALE;
    if (direct) {
        info->out_color_space = JCS_EXT_BGRX;
    }
    if (!jpeg_start_decompress(info)) {
        return false;
    }
    if (!checkedPixelCount(info->output_width, info->output_height) ||
        !allocateOutput(decode, info->output_width, info->output_height)) {
        return false;
    }
    if (info->output_width > 0 && info->output_height > 0) {
        std::uint32_t* pixels = decode.picture->pixels.data();
        if (direct) {
            readRowsDirect(info, pixels);
        } else {
            readRowsConverted(info, pixels);
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

std::optional<Picture> decodeJpeg(std::span<const std::uint8_t> file)
{
    JpegDecode decode;
    decode.info.err = jpeg_std_error(&decode.error.base);
    decode.error.base.error_exit = failDecode;
    decode.error.base.emit_message = ignoreMessage;
    decode.error.base.output_message = ignoreOutput;

    decode.source.file = file;
    decode.source.base.init_source = initSource;
    decode.source.base.fill_input_buffer = fillInputBuffer;
    decode.source.base.skip_input_data = skipInputData;
    decode.source.base.resync_to_restart = jpeg_resync_to_restart;
    decode.source.base.term_source = termSource;
    decode.progress.progress_monitor = limitScans;

    const bool decoded = runDecompression(decode);
    // Safe on a struct that creation never reached or left half made: it was zeroed first.
    jpeg_destroy_decompress(&decode.info);
    if (!decoded) {
        return std::nullopt;
    }
    return std::move(decode.picture);
}
