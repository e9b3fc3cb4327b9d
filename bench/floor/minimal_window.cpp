// The floors for the benchmark: the least a Qt Widgets program can be, one empty window
// ("Minimal"), and the same window showing one line of text ("Minimal text"), which adds
// what any program pays to draw text (fontconfig and font loading).
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool withText = argc > 1 && QByteArray(argv[1]) == "--text";
    QWidget window;
    window.setWindowTitle(withText ? QStringLiteral("Minimal text") : QStringLiteral("Minimal"));
    window.resize(251, 269);
    if (withText)
        new QLabel(QStringLiteral("00:00"), &window);
    window.show();
    return QApplication::exec();
}
