#pragma once
// CP932 encoding of many short texts in a row (the lines of a CSV file):
// one iconv descriptor kept open for all of them, instead of one per text.
#include <QByteArray>
#include <QString>
#include <optional>

namespace text {

class Cp932Stream {
public:
    Cp932Stream();
    ~Cp932Stream();
    Cp932Stream(const Cp932Stream&) = delete;
    Cp932Stream& operator=(const Cp932Stream&) = delete;

    // Appends the CP932 form of s to out. When some character has no CP932
    // form, out is left as it was and the index (in s) of that character is
    // returned; nullopt on success.
    std::optional<qsizetype> append(const QString& s, QByteArray& out);

private:
    void* cd_;  // iconv_t
};

}  // namespace text
