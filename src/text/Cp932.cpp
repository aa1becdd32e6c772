#include "text/Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace text {
namespace {

// One iconv conversion descriptor, closed on scope exit.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts all of in; on failure returns false and sets failedAt to the
    // byte offset of the input sequence that could not be converted.
    bool convert(const QByteArray& in, QByteArray& out, qsizetype& failedAt) {
        out.resize(in.size() * 2 + 16);
        char* inPtr = const_cast<char*>(in.constData());
        size_t inLeft = static_cast<size_t>(in.size());
        char* outPtr = out.data();
        size_t outLeft = static_cast<size_t>(out.size());
        while (inLeft > 0) {
            size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                qsizetype used = outPtr - out.data();
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = static_cast<size_t>(out.size() - used);
                continue;
            }
            failedAt = inPtr - in.constData();
            return false;
        }
        out.resize(outPtr - out.data());
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

EncodingError::EncodingError(const QString& what, qsizetype position, char32_t character)
    : std::runtime_error(what.toStdString()), position_(position), character_(character) {}

std::optional<QByteArray> tryToCp932(const QString& s) {
    Iconv cv("CP932", "UTF-8");
    QByteArray out;
    qsizetype failedAt = 0;
    if (!cv.convert(s.toUtf8(), out, failedAt)) return std::nullopt;
    return out;
}

QByteArray toCp932(const QString& s) {
    Iconv cv("CP932", "UTF-8");
    QByteArray utf8 = s.toUtf8();
    QByteArray out;
    qsizetype failedAt = 0;
    if (cv.convert(utf8, out, failedAt)) return out;
    QString before = QString::fromUtf8(utf8.constData(), failedAt);
    qsizetype index = before.size();
    char32_t ch = s.at(index).unicode();
    if (s.at(index).isHighSurrogate() && index + 1 < s.size())
        ch = QChar::surrogateToUcs4(s.at(index), s.at(index + 1));
    throw EncodingError(QStringLiteral("character U+%1 at position %2 has no CP932 form")
                            .arg(static_cast<uint>(ch), 4, 16, QLatin1Char('0'))
                            .toUpper()
                            .arg(index + 1),
                        index, ch);
}

std::optional<QString> tryFromCp932(const QByteArray& bytes) {
    Iconv cv("UTF-8", "CP932");
    QByteArray out;
    qsizetype failedAt = 0;
    if (!cv.convert(bytes, out, failedAt)) return std::nullopt;
    return QString::fromUtf8(out);
}

QString fromCp932(const QByteArray& bytes) {
    Iconv cv("UTF-8", "CP932");
    QString result;
    QByteArray rest = bytes;
    while (true) {
        QByteArray out;
        qsizetype failedAt = 0;
        if (cv.convert(rest, out, failedAt)) {
            result += QString::fromUtf8(out);
            return result;
        }
        QByteArray good;
        qsizetype ignored = 0;
        Iconv head("UTF-8", "CP932");
        head.convert(rest.left(failedAt), good, ignored);
        result += QString::fromUtf8(good);
        result += QChar(QChar::ReplacementCharacter);
        rest = rest.mid(failedAt + 1);
        if (rest.isEmpty()) return result;
    }
}

qsizetype cp932Length(const QString& s) {
    if (auto bytes = tryToCp932(s)) return bytes->size();
    qsizetype n = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        QString one = s.mid(i, s.at(i).isHighSurrogate() ? 2 : 1);
        if (s.at(i).isHighSurrogate()) ++i;
        auto b = tryToCp932(one);
        n += b ? b->size() : 2;
    }
    return n;
}

bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        unsigned char c = *p;
        int extra;
        char32_t cp;
        if (c < 0x80) { ++p; continue; }
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return false;
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) ||
            (extra == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

std::optional<Encoding> detectEncoding(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        if (isValidUtf8(bytes)) return Encoding::Utf8Bom;
        return std::nullopt;
    }
    if (isValidUtf8(bytes)) return Encoding::Utf8;
    if (tryFromCp932(bytes)) return Encoding::Cp932;
    return std::nullopt;
}

std::optional<QString> decodeDetected(const QByteArray& bytes) {
    auto enc = detectEncoding(bytes);
    if (!enc) return std::nullopt;
    switch (*enc) {
        case Encoding::Utf8: return QString::fromUtf8(bytes);
        case Encoding::Utf8Bom: return QString::fromUtf8(bytes.mid(3));
        case Encoding::Cp932: return tryFromCp932(bytes);
    }
    return std::nullopt;
}

}  // namespace text
