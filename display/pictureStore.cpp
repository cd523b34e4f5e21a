#include "display/pictureStore.h"

#include "display/decoders.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Live pictures by id, in the order they were loaded (ids only grow).
std::map<std::int32_t, Picture>& livePictures()
{
    static std::map<std::int32_t, Picture> pictures;
    return pictures;
}

std::int32_t lastId = 0;

// Closes the descriptor on every path out of readWholeFile.
struct FileDescriptor {
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// Reads a regular file whole. A FIFO, device or socket is refused before anything is read: it could
// block the only thread or never end.
bool readWholeFile(const std::string& fileName, HeapArray<std::uint8_t>& bytes)
{
    FileDescriptor file{open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) {
        return false;
    }
    struct stat info {};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        return false;
    }
    if (!bytes.allocate(std::size_t(info.st_size))) {
        return false;
    }
    // The file may shrink while it is read; what was read is what counts.
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t got = read(file.fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        filled += std::size_t(got);
    }
    if (filled < bytes.size()) {
        HeapArray<std::uint8_t> shorter;
        if (!shorter.allocate(filled)) {
            return false;
        }
        for (std::size_t i = 0; i < filled; ++i) {
            shorter[i] = bytes[i];
        }
        bytes = std::move(shorter);
    }
    return true;
}

} // namespace

std::int32_t loadPicture(const std::string& fileName)
{
    // The pixel block of a picture unloaded just before may take the new picture; whatever is
    // left of it goes when the load ends.
    struct SpareBlockRelease {
        ~SpareBlockRelease() { keepSpareBlock(false); }
    } spareBlockRelease;
    if (fileName.empty()) {
        return 0;
    }
    HeapArray<std::uint8_t> bytes;
    if (!readWholeFile(fileName, bytes) || bytes.size() < 8) {
        return 0;
    }
    auto picture = decodePicture(bytes.span());
    if (!picture) {
        return 0;
    }
    return addPicture(std::move(*picture));
}

std::int32_t addPicture(Picture picture)
{
    // Ids count up from 1 and are never reused; the counter would need 2^31 loads to run out.
    if (lastId == INT32_MAX) {
        return 0;
    }
    ++lastId;
    livePictures().emplace(lastId, std::move(picture));
    return lastId;
}

void unloadPicture(std::int32_t id)
{
    // An import unloads the old picture right before it loads the new one: its pixel block is kept
    // for that load, which then need not wait for fresh pages to be cleared.
    keepSpareBlock(true);
    livePictures().erase(id);
}

bool isPictureLoaded(std::int32_t id)
{
    return id != 0 && livePictures().count(id) != 0;
}

PictureSize getPictureSize(std::int32_t id)
{
    auto found = livePictures().find(id);
    if (id == 0 || found == livePictures().end()) {
        return {};
    }
    return {found->second.width, found->second.height};
}

std::optional<DrawSource> renderPicture(std::int32_t id)
{
    auto found = livePictures().find(id);
    if (id == 0 || found == livePictures().end()) {
        return std::nullopt;
    }
    const Picture& picture = found->second;
    DrawSource source;
    source.pixels = picture.pixels.data();
    source.width = picture.width;
    source.height = picture.height;
    switch (picture.kind) {
    case PictureKind::Png:
        source.mode = DrawMode::BlendOverWhite;
        break;
    case PictureKind::Icon:
    case PictureKind::Cursor:
        source.mode = DrawMode::Masked;
        source.mask = picture.mask.data();
        break;
    default:
        source.mode = DrawMode::Opaque;
        break;
    }
    return source;
}

std::uint8_t blendOverWhite(std::uint8_t channel, std::uint8_t alpha)
{
    if (alpha == 255) {
        return channel;
    }
    // 0.003921568859368563 is 1/255 rounded to single precision (bits 3B808081); the factor and the
    // blend are then taken in double, and the result truncated.
    const double factor = double(alpha) * double(0.003921568859368563f);
    double blended = double(channel) * factor + 255.0 * (1.0 - factor);
    if (blended < 0.0) {
        return 0;
    }
    if (blended > 255.0) {
        return 255;
    }
    return std::uint8_t(blended);
}
