// Turns the program's XPM icon images into what the platforms install: PNG files for the
// desktop's icon theme, and one Windows icon file that holds several palette images.
//
//   icon_tool png IN.xpm OUT.png
//   icon_tool ico OUT.ico IN.xpm COLOURS [IN.xpm COLOURS]...   (COLOURS: 2 or 16)

#include <QColor>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QList>
#include <QRgb>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

QImage loadXpm(const QString& path) {
    QImage image(path, "XPM");
    if (image.isNull()) err() << "cannot read " << path << Qt::endl;
    return image.convertToFormat(QImage::Format_ARGB32);
}

int bytesPerRow(int width, int bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// One image of an icon file: a bottom-up palette bitmap of twice the image's height (the colour
// rows, then the one-bit mask rows, where a set bit lets the screen show through).
struct IconImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int colours = 0;
    QByteArray data;
};

std::optional<IconImage> paletteImage(const QImage& image, int colours, const QString& path) {
    QList<QRgb> palette;
    bool anyTransparent = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) < 128)
                anyTransparent = true;
            else if (!palette.contains(pixel | 0xff000000))
                palette.append(pixel | 0xff000000);
        }
    // Windows draws a masked pixel by XOR-ing its colour onto the screen, so it must be black.
    const QRgb black = qRgb(0, 0, 0);
    if (anyTransparent && !palette.contains(black)) palette.append(black);
    if (palette.size() > colours) {
        err() << path << " has " << palette.size() << " colours, more than " << colours << Qt::endl;
        return std::nullopt;
    }

    IconImage icon{image.width(), image.height(), colours == 2 ? 1 : 4, colours, {}};
    const int colourRow = bytesPerRow(icon.width, icon.bitsPerPixel);
    const int maskRow = bytesPerRow(icon.width, 1);
    QByteArray colourBits(colourRow * icon.height, '\0');
    QByteArray maskBits(maskRow * icon.height, '\0');
    for (int y = 0; y < icon.height; ++y) {
        const int row = icon.height - 1 - y;
        for (int x = 0; x < icon.width; ++x) {
            const QRgb pixel = image.pixel(x, y);
            const bool transparent = qAlpha(pixel) < 128;
            const int index = int(palette.indexOf(transparent ? black : pixel | 0xff000000));
            if (icon.bitsPerPixel == 1)
                colourBits[row * colourRow + x / 8] |= char(index << (7 - x % 8));
            else
                colourBits[row * colourRow + x / 2] |= char(index << (x % 2 ? 0 : 4));
            if (transparent) maskBits[row * maskRow + x / 8] |= char(0x80 >> (x % 8));
        }
    }

    QDataStream out(&icon.data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(icon.width) << qint32(icon.height * 2) << quint16(1)
        << quint16(icon.bitsPerPixel) << quint32(0) << quint32(colourBits.size() + maskBits.size())
        << qint32(0) << qint32(0) << quint32(colours) << quint32(0);
    for (int i = 0; i < colours; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : black;
        out << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c)) << quint8(0);
    }
    out.writeRawData(colourBits.constData(), int(colourBits.size()));
    out.writeRawData(maskBits.constData(), int(maskBits.size()));
    return icon;
}

bool writeIco(const QString& path, const QList<IconImage>& images) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        err() << "cannot write " << path << Qt::endl;
        return false;
    }
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * quint32(images.size());
    for (const IconImage& image : images) {
        out << quint8(image.width) << quint8(image.height) << quint8(image.colours) << quint8(0)
            << quint16(1) << quint16(image.bitsPerPixel) << quint32(image.data.size()) << offset;
        offset += quint32(image.data.size());
    }
    for (const IconImage& image : images)
        out.writeRawData(image.data.constData(), int(image.data.size()));
    return out.status() == QDataStream::Ok && file.flush();
}

int usage() {
    err() << "usage: icon_tool png IN.xpm OUT.png\n"
             "       icon_tool ico OUT.ico IN.xpm COLOURS [IN.xpm COLOURS]..."
          << Qt::endl;
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (args.size() == 3 && args[0] == u"png") {
        const QImage image = loadXpm(args[1]);
        return !image.isNull() && image.save(args[2], "PNG") ? 0 : 1;
    }
    if (args.size() >= 4 && args[0] == u"ico" && args.size() % 2 == 0) {
        QList<IconImage> images;
        for (int i = 2; i < args.size(); i += 2) {
            const int colours = args[i + 1].toInt();
            if (colours != 2 && colours != 16) return usage();
            const QImage image = loadXpm(args[i]);
            if (image.isNull()) return 1;
            const auto icon = paletteImage(image, colours, args[i]);
            if (!icon) return 1;
            images.append(*icon);
        }
        return writeIco(args[1], images) ? 0 : 1;
    }
    return usage();
}
