#include "platform/fileDialog.h"

#include <QFile>
#include <QFileDialog>
#include <algorithm>

QStringList toolkitNameFilters(const std::vector<FileType>& types)
{
    QStringList filters;
    for (const FileType& type : types) {
        QStringList patterns;
        for (const std::string& pattern : type.patterns) {
            patterns << QString::fromStdString(pattern);
        }
        filters << QString::fromStdString(type.description) + QStringLiteral(" (") +
                       patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

DesktopOpenFileDialog::DesktopOpenFileDialog(QWidget* owner) : owner_(owner) {}

void DesktopOpenFileDialog::configure(QFileDialog& dialog) const
{
    // Qt's own dialog behaves alike on every desktop: it hides the appended patterns, matches them
    // ignoring letter case and has no read-only box.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile); // one file, which must exist in a folder that exists
    dialog.setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);

    const QStringList filters = toolkitNameFilters(parseFileTypes(filter));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const auto first = std::clamp<qsizetype>(firstFileType, 0, filters.size() - 1);
        dialog.selectNameFilter(filters[first]);
    }
    if (!title.empty()) {
        dialog.setWindowTitle(QString::fromStdString(title));
    }
    if (!initialFolder.empty()) {
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(initialFolder)));
    }
    if (!defaultExtension.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
    }
    // The previous file opens the dialog in its folder with its name filled in.
    if (!confirmedPath.empty()) {
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(confirmedPath)));
    }
}

bool DesktopOpenFileDialog::accept(const QFileDialog& dialog, bool confirmed)
{
    const QStringList chosen = dialog.selectedFiles();
    if (!confirmed || chosen.isEmpty() || chosen.first().isEmpty()) {
        return false;
    }
    // The path in the file system's own bytes, whatever its length.
    confirmedPath = QFile::encodeName(chosen.first()).toStdString();
    return true;
}

bool DesktopOpenFileDialog::open()
{
    QFileDialog dialog(owner_);
    configure(dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    return accept(dialog, confirmed);
}
