// vistrel-script [FILE]: runs the viewer's commands without a display. The canvases are laid out as
// the main window has them; the script (FILE, or standard input) gives one command a line, each
// calling the matching handler. Only `state` prints, to standard output. An unknown or malformed
// command prints its line number and the reason to stderr and exits 2; a file that cannot be read or
// written exits 1.

#include "app/onWindowCreated.h"
#include "app/windowDesign.h"
#include "display/canvas.h"
#include "display/scriptedDialog.h"
#include "viewer/handlers.h"
#include "viewer/viewState.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The line without its comment: '#' starts one at the beginning of the line or after white space,
// so a path may still hold a '#' inside a name.
std::string_view withoutComment(std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || isBlank(line[i - 1]))) {
            return line.substr(0, i);
        }
    }
    return line;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i])) {
            ++i;
        }
        if (i > start) {
            result.push_back(text.substr(start, i - start));
        }
    }
    return result;
}

// A decimal integer in [low, high]: an optional '-' and digits, nothing else.
bool parseInteger(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& value)
{
    std::int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

// The canvas's pixel array (the view's client area, or the back canvas's store) as binary PPM.
bool writePpm(const Canvas& canvas, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const std::string header =
        "P6\n" + std::to_string(canvas.arrayWidth()) + " " + std::to_string(canvas.arrayHeight()) + "\n255\n";
    bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    std::vector<unsigned char> row(std::size_t(canvas.arrayWidth()) * 3);
    for (std::int32_t y = 0; written && y < canvas.arrayHeight(); ++y) {
        unsigned char* out = row.data();
        for (std::int32_t x = 0; x < canvas.arrayWidth(); ++x) {
            const std::uint32_t pixel = canvas.pixel(x, y);
            *out++ = static_cast<unsigned char>(pixel >> 16);
            *out++ = static_cast<unsigned char>(pixel >> 8);
            *out++ = static_cast<unsigned char>(pixel);
        }
        written = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    written = std::fclose(file) == 0 && written;
    return written;
}

struct Script {
    Canvas& viewCanvas;
    Canvas& backCanvas;
    ScriptedDialog& dialog;
};

enum class Outcome { done, badCommand, ioFailure };

// Runs one command line; on failure `reason` says why.
Outcome runCommand(const Script& script, std::string_view line, std::string& reason)
{
    const std::string_view text = trimmed(withoutComment(line));
    if (text.empty()) {
        return Outcome::done;
    }
    const std::vector<std::string_view> args = words(text);
    const std::string_view command = args[0];
    const std::size_t given = args.size() - 1;

    auto wrongCount = [&](std::size_t wanted) {
        reason = std::string(command) + " takes " + std::to_string(wanted) +
                 (wanted == 1 ? " argument" : " arguments") + ", got " + std::to_string(given);
        return Outcome::badCommand;
    };
    // Reads args[1..count] as integers in [low, high].
    auto integers = [&](std::size_t count, std::int64_t low, std::int64_t high, std::int64_t* values) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!parseInteger(args[i + 1], low, high, values[i])) {
                reason = std::string(command) + ": '" + std::string(args[i + 1]) +
                         "' is not an integer from " + std::to_string(low) + " to " + std::to_string(high);
                return false;
            }
        }
        return true;
    };

    if (command == "import") {
        // The path is the rest of the line, spaces included.
        const std::string_view path = trimmed(text.substr(command.size()));
        if (path.empty()) {
            return wrongCount(1);
        }
        if (path.find('\0') != std::string_view::npos) {
            reason = "import: the path holds a zero byte";
            return Outcome::badCommand;
        }
        script.dialog.queueConfirm(std::string(path));
        onImportClicked();
        return Outcome::done;
    }
    if (command == "import-cancel" || command == "zoom-in" || command == "zoom-out" || command == "state") {
        if (given != 0) {
            return wrongCount(0);
        }
        if (command == "import-cancel") {
            script.dialog.queueCancel();
            onImportClicked();
        } else if (command == "zoom-in") {
            onZoomInClicked();
        } else if (command == "zoom-out") {
            onZoomOutClicked();
        } else {
            std::printf("%" PRId64 " %" PRId64 " %.17g %" PRId32 " %" PRId32 " %" PRId32 " %" PRId32
                        " %" PRId32 " %" PRId32 "\n",
                        view->offsetX, view->offsetY, view->scale, pictureId, pictureWidth, pictureHeight,
                        dragging, dragStartX, dragStartY);
        }
        return Outcome::done;
    }
    if (command == "wheel") {
        std::int64_t distance = 0;
        if (given != 1) {
            return wrongCount(1);
        }
        if (!integers(1, INT32_MIN, INT32_MAX, &distance)) {
            return Outcome::badCommand;
        }
        onViewWheel(std::int32_t(distance), 0);
        return Outcome::done;
    }
    if (command == "press" || command == "move" || command == "release") {
        std::int64_t position[2] = {0, 0};
        if (given != 2) {
            return wrongCount(2);
        }
        if (!integers(2, INT32_MIN, INT32_MAX, position)) {
            return Outcome::badCommand;
        }
        const auto x = std::int32_t(position[0]);
        const auto y = std::int32_t(position[1]);
        if (command == "press") {
            onViewLeftPressed(x, y, 0);
        } else if (command == "move") {
            onViewMouseMoved(x, y, 0);
        } else {
            onViewLeftReleased(x, y, 0);
        }
        return Outcome::done;
    }
    if (command == "face") {
        std::int64_t rgb[3] = {0, 0, 0};
        if (given != 3) {
            return wrongCount(3);
        }
        if (!integers(3, 0, 255, rgb)) {
            return Outcome::badCommand;
        }
        setSystemFaceColour(std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | std::uint32_t(rgb[2]));
        return Outcome::done;
    }
    if (command == "depth") {
        std::int64_t depth = 0;
        if (given != 1) {
            return wrongCount(1);
        }
        if (!integers(1, 1, 32, &depth)) {
            return Outcome::badCommand;
        }
        script.viewCanvas.setDisplayDepth(int(depth));
        script.backCanvas.setDisplayDepth(int(depth));
        return Outcome::done;
    }
    if (command == "dump") {
        if (given != 2) {
            return wrongCount(2);
        }
        if (args[1] != "view" && args[1] != "back") {
            reason = "dump: '" + std::string(args[1]) + "' is neither view nor back";
            return Outcome::badCommand;
        }
        const Canvas& canvas = args[1] == "view" ? script.viewCanvas : script.backCanvas;
        const std::string path(args[2]);
        if (!writePpm(canvas, path)) {
            reason = "dump: cannot write " + path;
            return Outcome::ioFailure;
        }
        return Outcome::done;
    }
    reason = "unknown command '" + std::string(command) + "'";
    return Outcome::badCommand;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: vistrel-script [FILE]\n");
        return 2;
    }
    std::ifstream file;
    if (argc == 2) {
        file.open(argv[1], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "vistrel-script: %s: cannot read\n", argv[1]);
            return 1;
        }
    }
    std::istream& input = argc == 2 ? static_cast<std::istream&>(file) : std::cin;

    // The main window's two canvases as it creates them, and its dialog.
    setSystemFaceColour(0xF0F0F0);
    Canvas viewCanvas(designedCanvasSettings("画板"));
    Canvas backCanvas(designedCanvasSettings("画板后台"));
    ScriptedDialog dialog;
    ViewState state{};
    view = &state;
    画板 = &viewCanvas;
    画板后台 = &backCanvas;
    通用对话框 = &dialog;
    onWindowCreated();

    const Script script{viewCanvas, backCanvas, dialog};
    std::string line;
    for (std::uint64_t number = 1; std::getline(input, line); ++number) {
        std::string reason;
        const Outcome outcome = runCommand(script, line, reason);
        if (outcome != Outcome::done) {
            std::fflush(stdout);
            std::fprintf(stderr, "vistrel-script: line %" PRIu64 ": %s\n", number, reason.c_str());
            return outcome == Outcome::badCommand ? 2 : 1;
        }
    }
    if (input.bad()) {
        std::fprintf(stderr, "vistrel-script: cannot read the script\n");
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
