#pragma once
// Image files placed into sheets: their format is recognised from their
// bytes (never from the file name), their size read from the header (JPEG
// through libjpeg), and bitmaps turned into PNG, which every reader shows.
#include <QByteArray>
#include <QString>

namespace excel {

struct ImageData {
    QByteArray bytes;
    QString extension;    // "jpeg", "png", "gif"
    QString contentType;  // "image/jpeg", ...
    int width = 0;        // pixels
    int height = 0;
};

// Largest image file accepted.
constexpr qint64 maxImageBytes = 64LL * 1024 * 1024;

// Throws Error(ImageUnreadable) for a file that is no JPEG, PNG, GIF or BMP.
ImageData loadImageFile(const QString& path);
ImageData imageFromBytes(const QByteArray& bytes, const QString& nameForErrors);

}  // namespace excel
