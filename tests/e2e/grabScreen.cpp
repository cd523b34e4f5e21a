// vistrel-grab X Y WIDTH HEIGHT FILE: writes that rectangle of the X screen as a binary PPM, read
// straight from the server, for the end-to-end test to compare with the in-memory rendering.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: vistrel-grab X Y WIDTH HEIGHT FILE\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || width <= 0 || height <= 0) {
        return 1;
    }
    const QImage image =
        screen->grabWindow(0, x, y, width, height).toImage().convertToFormat(QImage::Format_RGB888);
    if (image.width() != width || image.height() != height ||
        !image.save(QString::fromLocal8Bit(argv[5]), "PPM")) {
        std::fprintf(stderr, "vistrel-grab: cannot grab or write %s\n", argv[5]);
        return 1;
    }
    return 0;
}
