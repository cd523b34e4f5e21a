#include "tests/support/jpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

struct JumpingErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOut(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JumpingErrors*>(info->err)->jump, 1);
}

void quietly(j_common_ptr, int) {}

// Both library sequences run in functions that build nothing with a destructor after setjmp; the
// results go to caller-owned objects.
bool compress(const JpegFixture& fixture, unsigned char*& buffer, unsigned long& size)
{
    jpeg_compress_struct info{};
    JumpingErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOut;
    errors.base.emit_message = quietly;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(fixture.width);
    info.image_height = JDIMENSION(fixture.height);
    info.input_components = fixture.components;
    info.in_color_space = fixture.components == 1   ? JCS_GRAYSCALE
                          : fixture.components == 4 ? JCS_CMYK
                                                    : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, fixture.quality, TRUE);
    if (fixture.components == 4) {
        info.write_Adobe_marker = fixture.adobeMarker ? TRUE : FALSE;
    }
    if (fixture.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowSize = std::size_t(fixture.width) * std::size_t(fixture.components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(fixture.samples.data() + info.next_scanline * rowSize);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool decompress(const std::vector<std::uint8_t>& file, ReferenceJpeg& out)
{
    jpeg_decompress_struct info{};
    JumpingErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOut;
    errors.base.emit_message = quietly;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    out.width = int(info.output_width);
    out.height = int(info.output_height);
    out.components = info.output_components;
    out.samples.resize(std::size_t(out.width) * std::size_t(out.height) * std::size_t(out.components));
    const std::size_t rowSize = std::size_t(out.width) * std::size_t(out.components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.samples.data() + info.output_scanline * rowSize;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

std::vector<std::uint8_t> writeJpeg(const JpegFixture& fixture)
{
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> file;
    if (compress(fixture, buffer, size)) {
        file.assign(buffer, buffer + size);
    }
    std::free(buffer);
    return file;
}

ReferenceJpeg referenceDecodeJpeg(const std::vector<std::uint8_t>& file)
{
    ReferenceJpeg out;
    if (!decompress(file, out)) {
        out = ReferenceJpeg();
    }
    return out;
}
