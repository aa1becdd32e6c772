#pragma once
// A forward-only reader for the large parts of a package (a sheet's cells,
// the shared strings). It builds no tree and copies nothing: each call to
// next() steps to the following tag or text run, and names, attribute values
// and texts are views into the part's bytes. Text and attribute values stay
// encoded until a caller decodes the ones it keeps (appendDecoded).
//
// Comments and processing instructions are skipped; a DTD is refused, as the
// tree parser refuses it, so no entity is ever defined or expanded. Malformed
// input throws Error(NotAWorkbook) naming the part and the byte offset.
#include <QString>
#include <string_view>
#include <vector>

namespace excel::xml {

class Scanner {
public:
    enum class Token { Start, End, Empty, Text, Eof };
    struct Attribute {
        std::string_view name;   // qualified, as written
        std::string_view value;  // between the quotes, still encoded
        char quote = '"';
    };

    Scanner(const char* begin, const char* end, const QString& partName);

    Token next();
    Token token() const { return token_; }

    // Start, End and Empty tags.
    std::string_view name() const { return name_; }
    std::string_view localName() const;
    bool is(std::string_view local) const { return localName() == local; }
    // Start and Empty tags; empty view when absent (attributes are matched
    // by local name, since producers choose their own prefixes).
    const std::vector<Attribute>& attributes() const { return attributes_; }
    std::string_view attribute(std::string_view local) const;
    bool hasAttribute(std::string_view local) const;

    // Text tokens: the raw text, and whether it came from a CDATA section
    // (which holds no entities).
    std::string_view text() const { return text_; }
    bool cdata() const { return cdata_; }

    // Where the current token starts and ends in the input.
    const char* tokenBegin() const { return tokenBegin_; }
    const char* tokenEnd() const { return pos_; }
    qint64 offset() const { return tokenBegin_ - begin_; }

    // After a Start tag: steps past the matching end tag.
    void skipElement();
    // After a Start tag: the concatenated decoded text of the element and
    // its descendants; steps past the matching end tag.
    QString elementText();

    [[noreturn]] void fail(const char* what) const;

private:
    void readTag();

    const char* begin_;
    const char* end_;
    const char* pos_;
    const char* tokenBegin_ = nullptr;
    QString part_;
    Token token_ = Token::Eof;
    std::string_view name_;
    std::string_view text_;
    bool cdata_ = false;
    std::vector<Attribute> attributes_;
};

// Appends raw XML text as UTF-16: entities and character references decoded
// (unknown entities kept as written), line ends normalised to "\n" as an XML
// reader must, malformed UTF-8 replaced by U+FFFD. cdata: text of a CDATA
// section, taken as it stands apart from line ends.
void appendDecoded(std::vector<char16_t>& out, std::string_view raw, bool cdata = false);
QString decoded(std::string_view raw, bool cdata = false);
// Appends UTF-8 text as UTF-16 as it stands (no markup, no line-end
// normalisation); malformed sequences become U+FFFD.
void appendUtf8(std::vector<char16_t>& out, std::string_view utf8);

// Appends text escaped for element content or (attribute) an attribute
// value in double quotes. Carriage returns are written as references so they
// survive a reader's line-end normalisation.
void appendEscaped(QByteArray& out, QStringView text, bool attribute = false);

}  // namespace excel::xml
