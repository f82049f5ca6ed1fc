// Build tool: writes a C++ source that holds pictures as 32-bit pixels (QImage::Format_RGB32),
// read exactly as the program reads its PNG pictures. Usage:
//   mofurin_embed_pictures OUTPUT.cpp NAME=PICTURE.png...
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QString>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp NAME=PICTURE.png...\n", argv[0]);
        return 2;
    }
    QByteArray out;
    out += "// Generated at build time by mofurin_embed_pictures; do not edit.\n"
           "#include \"StartPictures.h\"\n\n#include <cstring>\n\nnamespace {\n";
    QList<QByteArray> names;
    QList<QSize> sizes;
    for (int i = 2; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        const qsizetype eq = arg.indexOf('=');
        if (eq <= 0) {
            std::fprintf(stderr, "not NAME=PICTURE.png: %s\n", argv[i]);
            return 2;
        }
        QImageReader reader(QString::fromLocal8Bit(arg.mid(eq + 1)), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
        if (image.isNull()) {
            std::fprintf(stderr, "cannot read %s: %s\n", arg.mid(eq + 1).constData(),
                         qUtf8Printable(reader.errorString()));
            return 1;
        }
        names << arg.left(eq);
        sizes << image.size();
        out += "const unsigned int pixels" + QByteArray::number(i - 2) + "[] = {";
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const unsigned int*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                out += ((x % 8) ? " 0x" : "\n    0x") + QByteArray::number(line[x], 16) + ",";
        }
        out += "\n};\n";
    }
    out += "\nstruct Entry\n{\n    const char* name;\n    int width;\n    int height;\n"
           "    const unsigned int* pixels;\n};\n\nconst Entry entries[] = {\n";
    for (qsizetype i = 0; i < names.size(); ++i)
        out += "    {\"" + names[i] + "\", " + QByteArray::number(sizes[i].width()) + ", " +
               QByteArray::number(sizes[i].height()) + ", pixels" + QByteArray::number(i) + "},\n";
    out +=
        "};\n} // namespace\n\n"
        "QImage StartPicture(const char* name)\n{\n"
        "    for (const Entry& e : entries) {\n"
        "        if (std::strcmp(e.name, name) == 0)\n"
        "            return QImage(reinterpret_cast<const uchar*>(e.pixels), e.width, e.height,\n"
        "                          e.width * 4, QImage::Format_RGB32);\n"
        "    }\n    return QImage();\n}\n";
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
