#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One entry of a dialog's file-type list: a description and its patterns ("*.bmp").
struct FileType {
    std::string description;
    std::vector<std::string> patterns;
};

// The file-type list of a filter text "description|pattern;pattern|...": white space at the end is
// removed first, the entries are read in pairs, and the list ends at the first empty pair. An empty
// filter gives no file types.
std::vector<FileType> parseFileTypes(std::string_view filter);

// The open-file dialog component: its settings and the last confirmed path. The dialog itself is
// shown by a subclass (the desktop's dialog, or a stand-in in tests and scripts).
class OpenFileDialog {
  public:
    virtual ~OpenFileDialog() = default;

    // Shows the modal dialog. True only when the user confirmed a file, which then is fileName.
    virtual bool open() = 0;

    // A copy of the last confirmed path; nothing at all while none has been confirmed.
    std::optional<std::string> fileName() const;

    // The settings as the window design gives them.
    std::string filter = "图片文件(*.bmp,*.jpg)|*.bmp;*.jpg\r\n";
    std::string title;
    std::string initialFolder;
    std::string defaultExtension;
    int firstFileType = 0;

  protected:
    // The path last confirmed; shown again, folder and name, when the dialog next opens.
    std::string confirmedPath;
};
