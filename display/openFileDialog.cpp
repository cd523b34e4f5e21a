#include "display/openFileDialog.h"

std::vector<FileType> parseFileTypes(std::string_view filter)
{
    // Trailing space, tab, CR, LF, VT and FF go; bytes of multibyte characters are never white space.
    while (!filter.empty() && std::string_view(" \t\r\n\v\f").find(filter.back()) != std::string_view::npos) {
        filter.remove_suffix(1);
    }
    std::vector<FileType> types;
    if (filter.empty()) {
        return types;
    }
    std::string closed(filter);
    if (!closed.ends_with("||")) {
        closed += "||";
    }
    std::vector<std::string_view> entries;
    std::string_view rest(closed);
    for (;;) {
        const auto bar = rest.find('|');
        if (bar == std::string_view::npos) {
            break;
        }
        entries.push_back(rest.substr(0, bar));
        rest.remove_prefix(bar + 1);
    }
    for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (entries[i].empty() && entries[i + 1].empty()) {
            break;
        }
        FileType type;
        type.description = std::string(entries[i]);
        std::string_view patterns = entries[i + 1];
        while (!patterns.empty()) {
            const auto semicolon = patterns.find(';');
            const std::string_view pattern = patterns.substr(0, semicolon);
            if (!pattern.empty()) {
                type.patterns.emplace_back(pattern);
            }
            if (semicolon == std::string_view::npos) {
                break;
            }
            patterns.remove_prefix(semicolon + 1);
        }
        types.push_back(std::move(type));
    }
    return types;
}

std::optional<std::string> OpenFileDialog::fileName() const
{
    if (confirmedPath.empty()) {
        return std::nullopt;
    }
    return confirmedPath;
}
