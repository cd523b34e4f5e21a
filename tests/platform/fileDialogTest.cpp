// The open-file dialog over Qt's file dialog: its file types, options and the path it gives back.

#include "platform/fileDialog.h"

#include "platform/platform.h"
#include "tests/platform/testWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace {

const char* const designFilter = "图片文件(*.bmp,*.jpg)|*.bmp;*.jpg\r\n";

TEST(FileDialogFilter, StoredFilterBecomesQtFilesTypes)
{
    struct Case {
        const char* filter;
        QStringList expected;
    };
    const Case cases[] = {
        {designFilter, {QStringLiteral("图片文件(*.bmp,*.jpg) (*.bmp *.jpg)")}},
        {"A|*.a|B|*.b;*.c||", {QStringLiteral("A (*.a)"), QStringLiteral("B (*.b *.c)")}},
        {"Pictures|*.bmp;*.jpg \t\r\n", {QStringLiteral("Pictures (*.bmp *.jpg)")}},
        {"", {}},
        {" \r\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        EXPECT_EQ(toolkitNameFilters(parseFileTypes(c.filter)), c.expected);
    }
}

void touch(const std::filesystem::path& path)
{
    std::ofstream(path) << "x";
}

// The names the dialog lists in its folder once it has read it.
QStringList listedNames(QFileDialog& dialog, int expectedCount)
{
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    if (view == nullptr) {
        return {};
    }
    (void)QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) == expectedCount; }, 5000);
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    }
    names.sort();
    return names;
}

TEST(FileDialog, ListsBmpAndJpgFilesWhateverTheirLetterCase)
{
    initTestPlatform();
    QTemporaryDir folder;
    const std::filesystem::path root = folder.path().toStdString();
    for (const char* name : {"a.BMP", "b.jpg", "c.JpG", "d.bmp", "photo.png", "notes.txt", "e.bmp.txt"}) {
        touch(root / name);
    }
    std::filesystem::create_directory(root / "sub");
    DesktopOpenFileDialog component(nullptr);
    component.filter = designFilter;
    component.initialFolder = root.string();
    QFileDialog dialog;
    component.configure(dialog);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(dialog.testOption(QFileDialog::HideNameFilterDetails));
    // The appended patterns are hidden: the list shows the stored description.
    EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("图片文件(*.bmp,*.jpg)"));
    const QStringList expected = {"a.BMP", "b.jpg", "c.JpG", "d.bmp", "sub"};
    EXPECT_EQ(listedNames(dialog, int(expected.size())), expected);
    endPlatform();
}

// Acts on the file dialog as soon as it is up.
void whenDialogOpens(std::function<void(QFileDialog&)> act)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start(10);
}

void typeAndConfirm(QFileDialog& dialog, const std::string& path)
{
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    // As typed by a person into the focused field, which replaces the list's selection (offscreen the
    // field cannot hold the focus, so the selection is cleared here).
    dialog.findChild<QListView*>(QStringLiteral("listView"))->clearSelection();
    name->setText(QString::fromStdString(path));
    QMetaObject::invokeMethod(&dialog, "accept");
}

TEST(FileDialog, KeepsTheConfirmedPathWhateverItsLengthAndThroughCancels)
{
    initTestPlatform();
    QTemporaryDir folder;
    // Three folders of 30 CJK characters: a path far beyond 259 bytes.
    std::filesystem::path deep = folder.path().toStdString();
    for (int level = 0; level < 3; ++level) {
        std::string name;
        for (int i = 0; i < 30; ++i) {
            name += "图";
        }
        deep /= name + std::to_string(level);
    }
    std::filesystem::create_directories(deep);
    const std::string picture = (deep / "照片.bmp").string();
    const std::string hidden = (deep / "photo.png").string();
    touch(picture);
    touch(hidden);
    ASSERT_GT(picture.size(), 300u);

    QWidget owner;
    owner.show();
    DesktopOpenFileDialog component(&owner);
    component.filter = designFilter;

    whenDialogOpens([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(component.open());
    EXPECT_EQ(component.fileName(), std::nullopt);

    QWidget* parent = nullptr;
    whenDialogOpens([&](QFileDialog& dialog) {
        parent = dialog.parentWidget();
        typeAndConfirm(dialog, picture);
    });
    EXPECT_TRUE(component.open());
    EXPECT_EQ(parent, &owner);
    EXPECT_EQ(component.fileName(), picture);

    // The next dialog opens in that folder with that name; a name the list hides is still accepted.
    QString folderShown;
    QString nameShown;
    whenDialogOpens([&](QFileDialog& dialog) {
        folderShown = dialog.directory().absolutePath();
        nameShown = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        typeAndConfirm(dialog, hidden);
    });
    EXPECT_TRUE(component.open());
    EXPECT_EQ(folderShown.toStdString(), deep.string());
    EXPECT_EQ(nameShown, QStringLiteral("照片.bmp"));
    EXPECT_EQ(component.fileName(), hidden);

    whenDialogOpens([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(component.open());
    EXPECT_EQ(component.fileName(), hidden);
    endPlatform();
}

} // namespace
