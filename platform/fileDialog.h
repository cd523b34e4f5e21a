#pragma once

#include "display/openFileDialog.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QFileDialog;

// Qt reads a filter's patterns from the parenthesised part at its end, separated by spaces. Each file
// type keeps its description as it stands and gets its patterns appended in that form:
// "图片文件(*.bmp,*.jpg)" with "*.bmp", "*.jpg" becomes "图片文件(*.bmp,*.jpg) (*.bmp *.jpg)". The
// dialog hides the appended part, so the list shows the stored description.
QStringList toolkitNameFilters(const std::vector<FileType>& types);

// The desktop's open-file dialog behind the dialog component: one existing file in an existing
// folder, owned by the window the component sits in.
class DesktopOpenFileDialog : public OpenFileDialog {
  public:
    explicit DesktopOpenFileDialog(QWidget* owner);

    bool open() override;

    // Sets up a dialog as open() shows it: options, file types, the previous file, title and folder.
    void configure(QFileDialog& dialog) const;

    // Takes the dialog's outcome: a confirmed file becomes fileName; anything else leaves it as it was.
    bool accept(const QFileDialog& dialog, bool confirmed);

  private:
    QPointer<QWidget> owner_;
};
