#include "display/scriptedDialog.h"

#include <utility>

void ScriptedDialog::queueConfirm(std::string path)
{
    answers_.emplace_back(std::move(path));
}

void ScriptedDialog::queueCancel()
{
    answers_.emplace_back(std::nullopt);
}

bool ScriptedDialog::open()
{
    ++openCount_;
    if (answers_.empty()) {
        return false;
    }
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    if (!answer) {
        return false;
    }
    confirmedPath = std::move(*answer);
    return true;
}
