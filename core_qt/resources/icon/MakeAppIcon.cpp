// Draws the application icon at every size the program loads and writes them
// as PNG files into the folder given on the command line:
//   quorbilan_make_icon core_qt/resources/icon
// The PNGs are committed; run this again only when the drawing changes.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// One disc of the database stack: an ellipse top over a straight-sided body.
void drawDisc(QPainter& p, const QRectF& body, double rimHeight, const QColor& side, const QColor& top)
{
    QPainterPath sidePath;
    sidePath.moveTo(body.left(), body.top() + rimHeight / 2);
    sidePath.lineTo(body.left(), body.bottom() - rimHeight / 2);
    sidePath.arcTo(QRectF(body.left(), body.bottom() - rimHeight, body.width(), rimHeight), 180, 180);
    sidePath.lineTo(body.right(), body.top() + rimHeight / 2);
    sidePath.closeSubpath();
    p.setBrush(side);
    p.drawPath(sidePath);
    p.setBrush(top);
    p.drawEllipse(QRectF(body.left(), body.top(), body.width(), rimHeight));
}

// A small arrow head pointing at `tip`, downwards when `down`.
void drawArrow(QPainter& p, QPointF tip, double size, bool down)
{
    const double dir = down ? -1.0 : 1.0;
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip.x() - size, tip.y() + dir * size);
    path.lineTo(tip.x() - size * 0.35, tip.y() + dir * size);
    path.lineTo(tip.x() - size * 0.35, tip.y() + dir * size * 1.8);
    path.lineTo(tip.x() + size * 0.35, tip.y() + dir * size * 1.8);
    path.lineTo(tip.x() + size * 0.35, tip.y() + dir * size);
    path.lineTo(tip.x() + size, tip.y() + dir * size);
    path.closeSubpath();
    p.drawPath(path);
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);

    // Rounded tile, deep blue to teal.
    QLinearGradient tile(0, 0, 0, 128);
    tile.setColorAt(0, QColor(0x1f, 0x6f, 0xc9));
    tile.setColorAt(1, QColor(0x0f, 0x9b, 0x8e));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);

    // Three discs of a database, squeezed together.
    const QColor side(0xe8, 0xf1, 0xfb);
    const QColor top(0xff, 0xff, 0xff);
    p.setPen(QPen(QColor(0x15, 0x4e, 0x8c), size >= 32 ? 2.5 : 4.0));
    const double left = 34, width = 60, rim = 18;
    drawDisc(p, QRectF(left, 70, width, 26), rim, side, top);
    drawDisc(p, QRectF(left, 56, width, 26), rim, side, top);
    drawDisc(p, QRectF(left, 42, width, 26), rim, side, top);

    // Arrows pressing on the stack from above and below; too fine for 16 px.
    if (size >= 32) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0xc8, 0x3d));
        drawArrow(p, QPointF(64, 37), 11, true);
        drawArrow(p, QPointF(64, 101), 11, false);
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 32, 64, 128}) {
        const QString file = out.filePath(QString("quorbilan-%1.png").arg(size));
        if (!drawIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
