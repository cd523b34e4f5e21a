// libraryDecode: the decode that vistrel-bench decode is compared with. Decodes FILE (a JPEG or a
// PNG, told apart by its first bytes) with the library's plain interface into one buffer reused by
// every repetition: libjpeg with its default parameters (RGB out, one scanline at a time), libpng
// through its simplified png_image interface (BGRA out).
//
//   libraryDecode FILE [--repeat N]
//
// Output as vistrel-bench's: one untimed warm-up, then the milliseconds of each timed repetition
// (open, read, decode) on a line of its own; failure: a non-zero exit and one line on stderr.

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "libraryDecode: %s\n", message.c_str());
    std::exit(1);
}

std::vector<unsigned char> buffer; // reused by every repetition

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegFailed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

bool decodeJpeg(const char* fileName)
{
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) {
        return false;
    }
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFailed;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    const std::size_t rowBytes = std::size_t(info.output_width) * info.output_components;
    const std::size_t bytes = rowBytes * info.output_height;
    if (buffer.size() < bytes) {
        buffer.resize(bytes);
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = buffer.data() + std::size_t(info.output_scanline) * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return true;
}

bool decodePng(const char* fileName)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, fileName) == 0) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    const std::size_t bytes = PNG_IMAGE_SIZE(image);
    if (buffer.size() < bytes) {
        buffer.resize(bytes);
    }
    const bool done = png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return done;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) {
        fail("usage: libraryDecode FILE [--repeat N]");
    }
    long repeat = 1;
    if (argc == 4) {
        char* end = nullptr;
        repeat = std::strtol(argv[3], &end, 10);
        if (std::strcmp(argv[2], "--repeat") != 0 || *end != '\0' || repeat < 1) {
            fail("usage: libraryDecode FILE [--repeat N]");
        }
    }
    const char* fileName = argv[1];
    unsigned char magic[8] = {};
    std::FILE* probe = std::fopen(fileName, "rb");
    if (probe == nullptr) {
        fail(std::string("cannot open ") + fileName);
    }
    const std::size_t got = std::fread(magic, 1, sizeof magic, probe);
    std::fclose(probe);
    const bool jpeg = got >= 2 && magic[0] == 0xFF && magic[1] == 0xD8;
    const bool png = got == 8 && png_sig_cmp(magic, 0, 8) == 0;
    if (!jpeg && !png) {
        fail(std::string(fileName) + ": neither a JPEG nor a PNG");
    }
    for (long i = 0; i <= repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const bool done = jpeg ? decodeJpeg(fileName) : decodePng(fileName);
        const auto stop = std::chrono::steady_clock::now();
        if (!done) {
            fail(std::string(fileName) + ": cannot decode this picture");
        }
        if (i > 0) {
            std::printf("%.6f\n", std::chrono::duration<double, std::milli>(stop - start).count());
        }
    }
    return 0;
}
