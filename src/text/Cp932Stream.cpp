#include "text/Cp932Stream.h"

#include <iconv.h>

#include <QSysInfo>
#include <cerrno>
#include <stdexcept>

namespace text {

namespace {
iconv_t handle(void* cd) {
    return static_cast<iconv_t>(cd);
}
}  // namespace

Cp932Stream::Cp932Stream() {
    // QString holds UTF-16 in the machine's byte order; no detour through UTF-8.
    const char* from = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
    iconv_t cd = iconv_open("CP932", from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to CP932");
    cd_ = cd;
}

Cp932Stream::~Cp932Stream() {
    iconv_close(handle(cd_));
}

std::optional<qsizetype> Cp932Stream::append(const QString& s, QByteArray& out) {
    const qsizetype start = out.size();
    char* in = reinterpret_cast<char*>(const_cast<QChar*>(s.constData()));
    size_t inLeft = size_t(s.size()) * sizeof(QChar);
    // Two bytes per character at most, plus room for a shift sequence.
    out.resize(start + s.size() * 2 + 8);
    char* outPtr = out.data() + start;
    size_t outLeft = size_t(out.size() - start);
    while (inLeft > 0) {
        if (iconv(handle(cd_), &in, &inLeft, &outPtr, &outLeft) != size_t(-1)) break;
        if (errno == E2BIG) {
            const qsizetype used = outPtr - out.data();
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = size_t(out.size() - used);
            continue;
        }
        const qsizetype failed =
            (in - reinterpret_cast<const char*>(s.constData())) / qsizetype(sizeof(QChar));
        iconv(handle(cd_), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        out.resize(start);
        return failed;
    }
    out.resize(outPtr - out.data());
    return std::nullopt;
}

}  // namespace text
