#pragma once

#include "display/openFileDialog.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

// An open-file dialog without a display: each open() takes the next queued answer instead of asking
// a user. Tests and vistrel-script use it in place of the desktop's dialog.
class ScriptedDialog : public OpenFileDialog {
  public:
    // The next open() confirms this path, whatever its length, as the desktop's dialog does.
    void queueConfirm(std::string path);
    // The next open() is cancelled.
    void queueCancel();

    // Takes the next answer; with none queued, the dialog is cancelled. A confirmed path becomes
    // fileName; a cancel leaves fileName as it was.
    bool open() override;

    // How many times open() ran, and how many answers are still queued.
    int openCount() const { return openCount_; }
    std::size_t pendingAnswers() const { return answers_.size(); }

  private:
    std::deque<std::optional<std::string>> answers_;
    int openCount_ = 0;
};
