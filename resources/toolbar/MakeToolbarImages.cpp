// Draws the toolbar images (16x16 and 32x32 for @2x screens) and the program icon as PNG
// files. Run it once after changing a drawing and commit its output:
//   brimwell_make_toolbar_images RESOURCES_FOLDER
// Every drawing works on a 16x16 grid; one-pixel lines sit on half-pixel coordinates so
// that they stay sharp at both scales.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QColor kOutline(0x2f, 0x3a, 0x4a);
const QColor kFolderBack(0xe0, 0xa8, 0x20);
const QColor kFolderFront(0xf7, 0xd1, 0x54);
const QColor kFolderLine(0x8a, 0x65, 0x10);
const QColor kScreen(0x6f, 0xb3, 0xf0);
const QColor kGreen(0x2e, 0x9a, 0x3e);
const QColor kRed(0xd8, 0x32, 0x2d);
const QColor kDarkRed(0x8c, 0x1c, 0x18);
const QColor kBlue(0x1d, 0x4f, 0x91);
const QColor kGrey(0x7d, 0x87, 0x93);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kWood(0xa0, 0x70, 0x3c);

QPen Line(const QColor& colour, double width = 1.0) {
    return QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
}

QPen RoundLine(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A desktop: a monitor on its stand.
void DrawChoose(QPainter& p) {
    p.setPen(Line(kOutline));
    p.setBrush(kScreen);
    p.drawRect(QRectF(1.5, 2.5, 13, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0xdc, 0xfa));
    p.drawRect(QRectF(3, 4, 4, 2));  // a window on the screen
    p.setBrush(kOutline);
    p.drawRect(QRectF(6, 12, 4, 2));
    p.drawRect(QRectF(4, 14, 8, 1));
}

// An open folder.
void DrawOpen(QPainter& p) {
    p.setPen(Line(kFolderLine));
    p.setBrush(kFolderBack);
    p.drawPolygon(
        QPolygonF({{0.5, 2.5}, {5.5, 2.5}, {7.5, 4.5}, {13.5, 4.5}, {13.5, 13.5}, {0.5, 13.5}}));
    p.setBrush(kFolderFront);
    p.drawPolygon(QPolygonF({{0.5, 13.5}, {3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}}));
}

// A circular arrow.
void DrawRefresh(QPainter& p) {
    p.setPen(RoundLine(kGreen, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3, 3, 10, 10), 100 * 16, 290 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({{7.0, 0.5}, {11.5, 3.5}, {7.0, 6.5}}));
}

// A red octagon with a white bar.
void DrawStop(QPainter& p) {
    p.setPen(Line(kDarkRed));
    p.setBrush(kRed);
    p.drawPolygon(QPolygonF({{5.5, 1.5},
                             {10.5, 1.5},
                             {14.5, 5.5},
                             {14.5, 10.5},
                             {10.5, 14.5},
                             {5.5, 14.5},
                             {1.5, 10.5},
                             {1.5, 5.5}}));
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 7, 8, 2));
}

// A red cross.
void DrawRemove(QPainter& p) {
    p.setPen(RoundLine(kRed, 2.5));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

// A bold letter M, drawn as a shape so that it does not depend on the fonts installed.
void DrawMegabytes(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({{1, 14},
                             {1, 2},
                             {4.5, 2},
                             {8, 8},
                             {11.5, 2},
                             {15, 2},
                             {15, 14},
                             {12, 14},
                             {12, 7.5},
                             {9, 12.5},
                             {7, 12.5},
                             {4, 7.5},
                             {4, 14}}));
}

// A printer with a sheet in and a sheet out.
void DrawPrint(QPainter& p) {
    p.setPen(Line(kOutline));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
    p.drawLine(QPointF(6, 11.5), QPointF(10, 11.5));
    p.drawLine(QPointF(6, 13), QPointF(9, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4c, 0xd9, 0x64));
    p.drawRect(QRectF(12, 7, 1, 1));
}

// A door with an arrow leading out of it.
void DrawExit(QPainter& p) {
    p.setPen(Line(kOutline));
    p.setBrush(kWood);
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(kOutline);
    p.drawRect(QRectF(7, 8, 1, 1));
    p.setPen(RoundLine(kGreen, 2.0));
    p.drawLine(QPointF(6, 8), QPointF(12, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({{11, 4}, {15.5, 8}, {11, 12}}));
}

// The program icon: a folder with three bars of falling length.
void DrawProgram(QPainter& p) {
    p.setPen(Line(kFolderLine));
    p.setBrush(kFolderBack);
    p.drawPolygon(
        QPolygonF({{0.5, 2.5}, {5.5, 2.5}, {7.5, 4.5}, {15.5, 4.5}, {15.5, 14.5}, {0.5, 14.5}}));
    p.setBrush(kFolderFront);
    p.drawRect(QRectF(0.5, 6.5, 15, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(QRectF(2, 8, 12, 1));
    p.drawRect(QRectF(2, 10, 8, 1));
    p.drawRect(QRectF(2, 12, 4, 1));
}

using Drawing = std::function<void(QPainter&)>;

bool Save(const Drawing& draw, int pixels, const QString& path) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels / 16.0, pixels / 16.0);
    draw(painter);
    painter.end();
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCES_FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    struct Image {
        const char* name;
        Drawing draw;
    };
    // In toolbar order.
    const std::vector<Image> toolbar = {
        {"choose", DrawChoose}, {"open", DrawOpen},     {"refresh", DrawRefresh},
        {"stop", DrawStop},     {"remove", DrawRemove}, {"megabytes", DrawMegabytes},
        {"print", DrawPrint},   {"exit", DrawExit},
    };
    bool ok = true;
    for (const Image& image : toolbar) {
        const QString base = folder + QStringLiteral("/toolbar/") + QLatin1String(image.name);
        ok = Save(image.draw, 16, base + QStringLiteral(".png")) && ok;
        ok = Save(image.draw, 32, base + QStringLiteral("@2x.png")) && ok;
    }
    for (int size : {16, 32, 48, 64, 256}) {
        ok = Save(DrawProgram, size, folder + QStringLiteral("/brimwell-%1.png").arg(size)) && ok;
    }
    return ok ? 0 : 1;
}
