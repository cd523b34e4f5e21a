#include "display/pictureStore.h"

#include "display/decoders.h"
#include "tests/support/bmpWriter.h"
#include "tests/support/jpegWriter.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A fresh folder for each test, removed afterwards.
class PictureStoreTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vistrel-store-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path path = folder / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path.string();
    }

    fs::path folder;
};

// 3 x 2, 24 bits: each row padded by 3 bytes.
BmpFixture smallBmp()
{
    BmpFixture fixture;
    fixture.bitsPerPixel = 24;
    fixture.width = 3;
    fixture.height = 2;
    fixture.pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
    return fixture;
}

std::vector<std::uint8_t> textBytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

TEST_F(PictureStoreTest, FailedLoadsReturnZero)
{
    const auto bmp = writeBmp(smallBmp());
    struct Case {
        const char* name;
        std::string fileName;
    };
    const Case cases[] = {
        {"empty name", ""},
        {"missing file", (folder / "missing.bmp").string()},
        {"7 bytes of a BMP", write("short.bmp", std::vector<std::uint8_t>(bmp.begin(), bmp.begin() + 7))},
        {"text named .jpg", write("notes.jpg", textBytes("Just some text, no picture at all.\n"))},
        {"text named .bmp", write("notes.bmp", textBytes("Just some text, no picture at all.\n"))},
        {"directory", folder.string()},
        {"decoder refuses", write("cut.bmp", std::vector<std::uint8_t>(bmp.begin(), bmp.end() - 4))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(loadPicture(c.fileName), 0);
    }
}

// The kind comes from the first bytes, never from the name.
TEST_F(PictureStoreTest, KindFollowsTheContentNotTheName)
{
    const std::int32_t id = loadPicture(write("picture.png", writeBmp(smallBmp())));
    ASSERT_NE(id, 0);
    EXPECT_EQ(getPictureSize(id).width, 3);
    EXPECT_EQ(getPictureSize(id).height, 2);
    auto source = renderPicture(id);
    ASSERT_TRUE(source.has_value());
    EXPECT_EQ(source->mode, DrawMode::Opaque);
    const std::vector<std::uint32_t> pixels(source->pixels, source->pixels + 6);
    const std::vector<std::uint32_t> expected = {0xFF112233, 0xFF445566, 0xFF778899,
                                                 0xFFAABBCC, 0xFFDDEEFF, 0xFF010203};
    EXPECT_EQ(pixels, expected);

    JpegFixture jpeg;
    jpeg.width = 5;
    jpeg.height = 4;
    jpeg.components = 1;
    jpeg.samples.assign(20, 90);
    const std::int32_t jpegId = loadPicture(write("photo.bmp", writeJpeg(jpeg)));
    ASSERT_NE(jpegId, 0);
    EXPECT_EQ(getPictureSize(jpegId).width, 5);
    EXPECT_EQ(getPictureSize(jpegId).height, 4);

    // A PNG named photo.jpg is a Png to the store.
    const std::vector<std::uint8_t> pngHead = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_EQ(detectPictureKind(pngHead), PictureKind::Png);
    EXPECT_EQ(detectPictureKind(std::vector<std::uint8_t>(pngHead.begin(), pngHead.begin() + 7)),
              std::nullopt);
}

// Opening a FIFO for reading would wait for a writer for ever; the store refuses it at once.
TEST_F(PictureStoreTest, FifoFailsAtOnce)
{
    const std::string fifo = (folder / "pipe.bmp").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto load = std::async(std::launch::async, [&] { return loadPicture(fifo); });
    if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Free the blocked reader so the test can end, then report.
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            close(writer);
        }
        load.wait();
        FAIL() << "loading a FIFO blocked";
    }
    EXPECT_EQ(load.get(), 0);
}

TEST_F(PictureStoreTest, IdsCountFromOneAndAreNotReused)
{
    // In a fresh process, so that no earlier test has loaded anything.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string file = write("a.bmp", writeBmp(smallBmp()));
    EXPECT_EXIT(
        {
            const std::int32_t first = loadPicture(file);
            const std::int32_t second = loadPicture(file);
            unloadPicture(first);
            const std::int32_t third = loadPicture(file);
            const bool good = first == 1 && second == 2 && third == 3 && !isPictureLoaded(1) &&
                              isPictureLoaded(2) && isPictureLoaded(3);
            std::_Exit(good ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(PictureStoreTest, UnloadAndSizeOfDeadIds)
{
    const std::string file = write("a.bmp", writeBmp(smallBmp()));
    const std::int32_t kept = loadPicture(file);
    const std::int32_t dropped = loadPicture(file);
    ASSERT_NE(kept, 0);
    ASSERT_NE(dropped, 0);
    ASSERT_NE(kept, dropped);

    unloadPicture(dropped);
    unloadPicture(dropped);
    unloadPicture(0);
    unloadPicture(dropped + 1000);
    unloadPicture(-1);

    for (std::int32_t dead : {0, dropped, dropped + 1000, -1}) {
        SCOPED_TRACE(dead);
        EXPECT_FALSE(isPictureLoaded(dead));
        EXPECT_EQ(getPictureSize(dead).width, 0);
        EXPECT_EQ(getPictureSize(dead).height, 0);
        EXPECT_FALSE(renderPicture(dead).has_value());
    }
    EXPECT_TRUE(isPictureLoaded(kept));
    EXPECT_EQ(getPictureSize(kept).width, 3);
    EXPECT_EQ(getPictureSize(kept).height, 2);
    unloadPicture(kept);
    EXPECT_FALSE(isPictureLoaded(kept));
}

} // namespace
