// The peer of the CPU measurement: the smallest Qt program that shows a 100 x 100 window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    window.setWindowTitle(QStringLiteral("MinimalWindow"));
    window.resize(100, 100);
    window.show();
    return QApplication::exec();
}
