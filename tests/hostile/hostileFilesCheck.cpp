// hostile-files-check DECODER DIR [--write-only]: writes the hostile files that a picture viewer
// meets in the wild into DIR and runs DECODER (vistrel-decode) on each, as `DECODER IN OUT`. Each
// must be refused (exit status 1) within the time bound and with resident memory within the bound
// above that of a tiny valid picture. Prints the figures; exits 0 when every file passed.
// With --write-only it writes the files and runs nothing (for measuring by other means).

#include "tests/support/hostileFiles.h"
#include "tests/support/pngWriter.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Generous against a loaded machine; the decoders take a small fraction of it.
constexpr double maxSeconds = 5.0;
constexpr long maxExtraResidentKiB = 64 * 1024;
// A decoder still running after this long is stopped and counted as hung.
constexpr double killAfterSeconds = 60.0;

struct HostileFile {
    const char* name;
    std::vector<std::uint8_t> (*build)();
};

const HostileFile hostileFiles[] = {
    {"huge-header.png", [] { return hugePngHeaderFile(); }},
    {"bomb-2gib.png", [] { return pngBombFile(1, 1, std::uint64_t(2) << 30); }},
    {"bomb-2gib-over-cap.png", [] { return pngBombFile(32768, 16383, std::uint64_t(2) << 30); }},
    {"empty-extensions.gif", [] { return emptyExtensionsGifFile(100000); }},
    {"repeated-markers.jpg", [] { return repeatedMarkersJpegFile(1000000); }},
};

struct RunResult {
    bool finished = false;
    int exitStatus = -1;
    double seconds = 0;
    long maxResidentKiB = 0;
};

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

RunResult runDecoder(const std::string& decoder, const std::string& in, const std::string& out)
{
    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) {
        return result;
    }
    if (child == 0) {
        execl(decoder.c_str(), decoder.c_str(), in.c_str(), out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(child, &status, WNOHANG, &usage);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (done == child) {
            result.finished = true;
            result.seconds = elapsed;
            break;
        }
        if (done < 0 && errno != EINTR) {
            return result;
        }
        if (elapsed > killAfterSeconds) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            result.seconds = elapsed;
            result.maxResidentKiB = usage.ru_maxrss;
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.maxResidentKiB = usage.ru_maxrss;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: hostile-files-check DECODER DIR [--write-only]\n");
        return 2;
    }
    const std::string decoder = argv[1];
    const std::string dir = argv[2];
    const bool writeOnly = argc > 3 && std::strcmp(argv[3], "--write-only") == 0;

    // The decoder's own footprint: a 1 x 1 picture that loads.
    const std::string baselinePath = dir + "/baseline.png";
    if (!writeFile(baselinePath, writePng(1, 1, {0xFF336699u}))) {
        std::fprintf(stderr, "cannot write %s\n", baselinePath.c_str());
        return 2;
    }
    for (const HostileFile& file : hostileFiles) {
        if (!writeFile(dir + "/" + file.name, file.build())) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), file.name);
            return 2;
        }
    }
    if (writeOnly) {
        return 0;
    }

    const RunResult baseline = runDecoder(decoder, baselinePath, dir + "/baseline.ppm");
    if (!baseline.finished || baseline.exitStatus != 0) {
        std::fprintf(stderr, "%s did not load the baseline picture (status %d)\n", decoder.c_str(),
                     baseline.exitStatus);
        return 1;
    }
    std::printf("%-24s %8.3f s %8ld KiB resident\n", "baseline.png", baseline.seconds,
                baseline.maxResidentKiB);
    bool allPassed = true;
    for (const HostileFile& file : hostileFiles) {
        const std::string in = dir + "/" + file.name;
        const RunResult run = runDecoder(decoder, in, in + ".ppm");
        const long extraKiB = run.maxResidentKiB - baseline.maxResidentKiB;
        const bool passed = run.finished && run.exitStatus == 1 && run.seconds <= maxSeconds &&
                            extraKiB <= maxExtraResidentKiB;
        std::printf("%-24s %8.3f s %8ld KiB resident (%+ld KiB) status %d: %s\n", file.name, run.seconds,
                    run.maxResidentKiB, extraKiB, run.exitStatus, passed ? "refused in bounds" : "FAILED");
        allPassed = allPassed && passed;
    }
    return allPassed ? 0 : 1;
}
