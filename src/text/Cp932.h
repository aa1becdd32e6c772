#pragma once
#include <QByteArray>
#include <QString>
#include <optional>
#include <stdexcept>

namespace text {

// Thrown when a text holds a character that CP932 cannot represent (emoji,
// most non-Japanese scripts). Never replaced silently: the caller reports it.
class EncodingError : public std::runtime_error {
public:
    EncodingError(const QString& what, qsizetype position, char32_t character);
    qsizetype position() const { return position_; }  // index in the QString
    char32_t character() const { return character_; }

private:
    qsizetype position_;
    char32_t character_;
};

// Encodes to CP932. Throws EncodingError on the first character that has no
// CP932 form.
QByteArray toCp932(const QString& s);

// Encodes to CP932, or nullopt when some character has no CP932 form.
std::optional<QByteArray> tryToCp932(const QString& s);

// Decodes CP932 bytes. Invalid sequences become U+FFFD.
QString fromCp932(const QByteArray& bytes);

// Decodes CP932 bytes, or nullopt when the bytes are not valid CP932.
std::optional<QString> tryFromCp932(const QByteArray& bytes);

// Length of s in CP932 bytes; a character CP932 lacks counts as 2 bytes
// (the width a replacement would take), so limits are never understated.
qsizetype cp932Length(const QString& s);

// True when the bytes are well-formed UTF-8 (a BOM is allowed).
bool isValidUtf8(const QByteArray& bytes);

enum class Encoding { Utf8, Utf8Bom, Cp932 };

// Decides how a text file read from a user is encoded: UTF-8 when the bytes
// are valid UTF-8 (with or without BOM), else CP932 when they are valid CP932.
// nullopt when they are neither.
std::optional<Encoding> detectEncoding(const QByteArray& bytes);

// Decodes with detectEncoding (BOM removed); nullopt for unknown encodings.
std::optional<QString> decodeDetected(const QByteArray& bytes);

}  // namespace text
