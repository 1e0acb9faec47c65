// Draws the release-note markers (new, improved, fixed) at 16 and 32 pixels and
// writes them as PNG files into the folder given on the command line:
//   quorbilan_make_update_images core_qt/UpdateChecker/images
// The PNGs are committed; run this again only when the drawing changes.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>

namespace {

// A round badge with a white mark drawn on a 16-unit grid.
QImage drawBadge(int size, const QColor& color, void (*mark)(QPainter&))
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setBrush(Qt::white);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    mark(p);
    return image;
}

// A five-pointed star.
void markNew(QPainter& p)
{
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double radius = (i % 2) ? 2.2 : 5.0;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const QPointF point(8 + radius * std::cos(angle), 8.3 + radius * std::sin(angle));
        i ? star.lineTo(point) : star.moveTo(point);
    }
    star.closeSubpath();
    p.setPen(Qt::NoPen);
    p.drawPath(star);
}

// An arrow pointing up.
void markImproved(QPainter& p)
{
    p.drawLine(QPointF(8, 12), QPointF(8, 4.5));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(4.5, 7.5), QPointF(8, 4), QPointF(11.5, 7.5)}));
}

// A check mark.
void markFixed(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(4.5, 8.3), QPointF(7, 10.8), QPointF(11.8, 5.5)}));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const struct
    {
        const char* name;
        QColor color;
        void (*mark)(QPainter&);
    } images[] = {
        {"new", QColor(0x2e, 0x9d, 0x3f), markNew},
        {"improved", QColor(0x1e, 0x51, 0xbe), markImproved},
        {"fixed", QColor(0xd9, 0x7a, 0x12), markFixed},
    };
    for (const auto& image : images) {
        for (int scale : {1, 2}) {
            const QString file = QString::fromLatin1(image.name) + (scale == 2 ? "@2x.png" : ".png");
            if (!drawBadge(16 * scale, image.color, image.mark).save(out.filePath(file))) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(file)));
                return 1;
            }
        }
    }
    return 0;
}
