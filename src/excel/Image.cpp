#include "excel/Image.h"

#include <jpeglib.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <csetjmp>
#include <cstdio>

#include "excel/Error.h"

namespace excel {

namespace {

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// libjpeg's default error_exit calls exit(); ours jumps back to the reader.
void jpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

bool readJpegSize(const QByteArray& bytes, int& width, int& height) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = jpegErrorExit;
    err.base.emit_message = jpegSilence;
    // Nothing with a destructor lives between setjmp and the jump.
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    width = static_cast<int>(cinfo.image_width);
    height = static_cast<int>(cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return width > 0 && height > 0;
}

quint32 bigEndian32(const QByteArray& b, int at) {
    return (quint32(uchar(b[at])) << 24) | (quint32(uchar(b[at + 1])) << 16) |
           (quint32(uchar(b[at + 2])) << 8) | quint32(uchar(b[at + 3]));
}

}  // namespace

ImageData imageFromBytes(const QByteArray& bytes, const QString& name) {
    ImageData img;
    auto fail = [&](const char* why) {
        return Error(ErrorCode::ImageUnreadable,
                     QStringLiteral("%1: %2").arg(name, QString::fromLatin1(why)));
    };
    if (bytes.startsWith("\xFF\xD8\xFF")) {
        if (!readJpegSize(bytes, img.width, img.height)) throw fail("not a readable JPEG image");
        img.extension = QStringLiteral("jpeg");
        img.contentType = QStringLiteral("image/jpeg");
        img.bytes = bytes;
    } else if (bytes.startsWith("\x89PNG\r\n\x1A\n")) {
        if (bytes.size() < 24 || bytes.mid(12, 4) != "IHDR") throw fail("not a readable PNG image");
        img.width = int(bigEndian32(bytes, 16));
        img.height = int(bigEndian32(bytes, 20));
        img.extension = QStringLiteral("png");
        img.contentType = QStringLiteral("image/png");
        img.bytes = bytes;
    } else if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) {
        if (bytes.size() < 10) throw fail("not a readable GIF image");
        img.width = uchar(bytes[6]) | (uchar(bytes[7]) << 8);
        img.height = uchar(bytes[8]) | (uchar(bytes[9]) << 8);
        img.extension = QStringLiteral("gif");
        img.contentType = QStringLiteral("image/gif");
        img.bytes = bytes;
    } else if (bytes.startsWith("BM")) {
        QImage image;
        if (!image.loadFromData(bytes, "BMP")) throw fail("not a readable BMP image");
        QBuffer buffer(&img.bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) throw fail("the bitmap could not be converted");
        img.width = image.width();
        img.height = image.height();
        img.extension = QStringLiteral("png");
        img.contentType = QStringLiteral("image/png");
    } else {
        throw fail("not a JPEG, PNG, GIF or BMP image");
    }
    if (img.width <= 0 || img.height <= 0) throw fail("the image has no size");
    return img;
}

ImageData loadImageFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(ErrorCode::ImageUnreadable, QStringLiteral("cannot read image %1").arg(path));
    if (f.size() > maxImageBytes)
        throw Error(
            ErrorCode::TooLarge,
            QStringLiteral("image %1 is larger than %2 bytes").arg(path).arg(maxImageBytes));
    return imageFromBytes(f.readAll(), path);
}

}  // namespace excel
