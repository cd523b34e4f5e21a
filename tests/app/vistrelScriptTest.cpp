#include "display/picture.h"
#include "display/pictureStore.h"
#include "tests/support/viewerFixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct ScriptRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readWhole(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs vistrel-script on the script text, given as a file.
ScriptRun runScript(const std::string& script)
{
    const std::string scriptPath = testFilePath("script.txt");
    const std::string outPath = testFilePath("stdout.txt");
    const std::string errPath = testFilePath("stderr.txt");
    EXPECT_TRUE(writeTextFile(scriptPath, script));
    const std::string command = std::string("'") + VISTREL_BINARY_DIR + "/tools/vistrel-script' '" +
                                scriptPath + "' >'" + outPath + "' 2>'" + errPath + "'";
    const int status = std::system(command.c_str());
    ScriptRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readWhole(outPath);
    run.err = readWhole(errPath);
    return run;
}

struct Ppm {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xFFRRGGBB
};

Ppm readPpm(const std::string& path)
{
    Ppm ppm;
    const std::string bytes = readWhole(path);
    std::istringstream header(bytes);
    std::string magic;
    int maxValue = 0;
    header >> magic >> ppm.width >> ppm.height >> maxValue;
    if (magic != "P6" || maxValue != 255 || !header) {
        return {};
    }
    const std::size_t start = std::size_t(header.tellg()) + 1;
    const std::size_t count = std::size_t(ppm.width) * std::size_t(ppm.height);
    if (bytes.size() != start + count * 3) {
        return {};
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto* rgb = reinterpret_cast<const unsigned char*>(bytes.data() + start + i * 3);
        ppm.pixels.push_back(opaquePixel(rgb[0], rgb[1], rgb[2]));
    }
    return ppm;
}

bool allPixels(const Ppm& ppm, std::uint32_t colour)
{
    for (std::uint32_t pixel : ppm.pixels) {
        if (pixel != colour) {
            return false;
        }
    }
    return !ppm.pixels.empty();
}

TEST(VistrelScript, StatePrintsTheGlobalsWithTheFactorIn17Digits)
{
    const ScriptRun run = runScript("state\n"
                                    "# a comment line, then a blank one\n"
                                    "\n"
                                    "wheel -1   # one notch toward the user\n"
                                    "state\n"
                                    "zoom-in\n"
                                    "zoom-out\n"
                                    "state\n"
                                    "press 100 100\n"
                                    "move 130 90\n"
                                    "state\n"
                                    "release 130 90\n"
                                    "state\n"
                                    "\twheel\t2  \r\n"
                                    "state\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "432 336 1 0 0 0 0 0 0\n"
                       "432 336 0.80000000000000004 0 0 0 0 0 0\n"
                       "432 336 0.76800000000000002 0 0 0 0 0 0\n"
                       "432 336 0.76800000000000002 0 0 0 1 100 100\n"
                       "462 326 0.76800000000000002 0 0 0 0 100 100\n"
                       "462 326 1.1680000000000001 0 0 0 0 100 100\n");
}

TEST(VistrelScript, DumpsTheCanvasesAsTheWindowLaysThemOut)
{
    const std::string view = testFilePath("view.ppm");
    const std::string back = testFilePath("back.ppm");
    const std::string preview = testFilePath("preview.ppm");
    const std::string failed = testFilePath("failed.ppm");
    const std::string failedBack = testFilePath("failed-back.ppm");
    const ScriptRun run = runScript("dump view " + view + "\ndump back " + back +
                                    "\n"
                                    // A drag with no picture previews the back canvas's face fill.
                                    "press 100 100\nmove 130 90\ndump view " +
                                    preview +
                                    "\n"
                                    // The face colour is looked up when the failed import clears.
                                    "face 10 20 30\nimport " +
                                    testFilePath("missing.bmp") + "\ndump view " + failed + "\ndump back " +
                                    failedBack + "\nstate\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "432 336 1 0 0 0 1 100 100\n");

    const Ppm viewPpm = readPpm(view);
    EXPECT_EQ(viewPpm.width, 430);
    EXPECT_EQ(viewPpm.height, 334);
    EXPECT_TRUE(allPixels(viewPpm, viewWhite));
    const Ppm backPpm = readPpm(back);
    EXPECT_EQ(backPpm.width, 1296);
    EXPECT_EQ(backPpm.height, 1008);
    EXPECT_TRUE(allPixels(backPpm, 0xFFF0F0F0u));
    EXPECT_TRUE(allPixels(readPpm(preview), 0xFFF0F0F0u));
    EXPECT_TRUE(allPixels(readPpm(failed), opaquePixel(10, 20, 30)));
    EXPECT_TRUE(allPixels(readPpm(failedBack), opaquePixel(10, 20, 30)));
}

TEST(VistrelScript, ImportShowsThePicture)
{
    // A '#' inside a name is not a comment; one after white space is.
    const std::string bmp = testFilePath("pattern with spaces#1.bmp");
    ASSERT_TRUE(writePatternBmp(bmp, 60, 40));
    const std::int32_t probe = loadPicture(bmp);
    unloadPicture(probe);
    if (probe == 0) {
        GTEST_SKIP() << "the picture store cannot decode BMP files yet";
    }
    const ScriptRun run =
        runScript("import-cancel\nstate\nzoom-in\nimport " + bmp + "  # the picture\nstate\n" +
                  "depth 16\nzoom-in\nstate\ndump view " + testFilePath("view.ppm") + "\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "432 336 1 0 0 0 0 0 0\n"
                       "432 336 1 1 60 40 0 0 0\n"
                       "432 336 1.2 1 60 40 0 0 0\n");
    // At depth 16 the scaler samples the nearest pixel: 72 x 48 pixels from 60 x 40.
    const Ppm view = readPpm(testFilePath("view.ppm"));
    ASSERT_EQ(view.pixels.size(), 430u * 334u);
    for (int y = 0; y < 334; ++y) {
        for (int x = 0; x < 430; ++x) {
            const std::uint32_t expected =
                x < 72 && y < 48 ? patternPixel((2 * x + 1) * 60 / 144, (2 * y + 1) * 40 / 96) : fixtureFace;
            ASSERT_EQ(view.pixels[std::size_t(y) * 430 + std::size_t(x)], expected) << x << ", " << y;
        }
    }
}

TEST(VistrelScript, RefusesBadCommandsWithTheirLineNumber)
{
    struct Case {
        const char* name;
        std::string script;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {"unknown", "state\nzoom\n", 2, "vistrel-script: line 2: unknown command 'zoom'\n"},
        {"fraction", "wheel 1.5\n", 2,
         "vistrel-script: line 1: wheel: '1.5' is not an integer from -2147483648 to 2147483647\n"},
        {"overflow", "# x\nwheel 2147483648\n", 2,
         "vistrel-script: line 2: wheel: '2147483648' is not an integer from -2147483648 to 2147483647\n"},
        {"plus sign", "press +1 2\n", 2,
         "vistrel-script: line 1: press: '+1' is not an integer from -2147483648 to 2147483647\n"},
        {"missing coordinate", "move 1\n", 2, "vistrel-script: line 1: move takes 2 arguments, got 1\n"},
        {"extra word", "zoom-in now\n", 2, "vistrel-script: line 1: zoom-in takes 0 arguments, got 1\n"},
        {"no path", "import   \n", 2, "vistrel-script: line 1: import takes 1 argument, got 0\n"},
        {"colour out of range", "face 0 256 0\n", 2,
         "vistrel-script: line 1: face: '256' is not an integer from 0 to 255\n"},
        {"depth 0", "depth 0\n", 2, "vistrel-script: line 1: depth: '0' is not an integer from 1 to 32\n"},
        {"dump what", "dump front x.ppm\n", 2,
         "vistrel-script: line 1: dump: 'front' is neither view nor back\n"},
        {"unwritable dump", "dump view /nonexistent-folder/x.ppm\n", 1,
         "vistrel-script: line 1: dump: cannot write /nonexistent-folder/x.ppm\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptRun run = runScript(c.script);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.err);
        // Only a state before the bad line prints.
        EXPECT_EQ(run.out, c.script.starts_with("state") ? "432 336 1 0 0 0 0 0 0\n" : "");
    }
}

} // namespace
