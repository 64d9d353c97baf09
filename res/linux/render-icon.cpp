// Build-time helper: renders the program's icon (an SVG) into PNG files of
// the sizes the desktop's icon theme wants.
//   render-icon INPUT.svg OUTPUT.png SIZE [OUTPUT.png SIZE ...]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[])
{
    // No display is needed for drawing into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4 || (args.size() - 2) % 2 != 0)
    {
        std::fprintf(stderr, "usage: render-icon INPUT.svg OUTPUT.png SIZE [OUTPUT.png SIZE ...]\n");
        return 1;
    }
    QSvgRenderer renderer(args[1]);
    if (!renderer.isValid())
    {
        std::fprintf(stderr, "render-icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    for (int i = 2; i + 1 < args.size(); i += 2)
    {
        bool bOk = false;
        const int nSize = args[i + 1].toInt(&bOk);
        if (!bOk || nSize < 1 || nSize > 1024)
        {
            std::fprintf(stderr, "render-icon: bad size %s\n", qPrintable(args[i + 1]));
            return 1;
        }
        QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        if (!image.save(args[i], "PNG"))
        {
            std::fprintf(stderr, "render-icon: cannot write %s\n", qPrintable(args[i]));
            return 1;
        }
    }
    return 0;
}
