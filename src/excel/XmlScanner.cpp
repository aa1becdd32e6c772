#include "excel/XmlScanner.h"

#include <cstring>

#include "excel/Error.h"

namespace excel::xml {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char* find(const char* from, const char* end, std::string_view what) {
    if (what.size() == 1) {
        const void* hit = std::memchr(from, what[0], size_t(end - from));
        return hit ? static_cast<const char*>(hit) : nullptr;
    }
    while (from + what.size() <= end) {
        const void* hit = std::memchr(from, what[0], size_t(end - from));
        if (!hit) return nullptr;
        const char* p = static_cast<const char*>(hit);
        if (p + what.size() <= end && std::memcmp(p, what.data(), what.size()) == 0) return p;
        from = p + 1;
    }
    return nullptr;
}

void appendCodePoint(std::vector<char16_t>& out, char32_t cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x10000) {
        out.push_back(char16_t(cp));
    } else {
        cp -= 0x10000;
        out.push_back(char16_t(0xD800 + (cp >> 10)));
        out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence starting at p (not ASCII); advances p.
char32_t decodeUtf8(const unsigned char*& p, const unsigned char* end) {
    const unsigned char c = *p;
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        ++p;
        return 0xFFFD;
    }
    if (end - p <= extra) {
        p = end;
        return 0xFFFD;
    }
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            p += i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += extra + 1;
    return cp < min ? 0xFFFD : cp;
}

// The character an entity or character reference stands for; 0 when the
// text at p is none we know (it is then kept as written).
char32_t entityAt(const char* p, const char* end, const char** after) {
    const char* semi =
        static_cast<const char*>(std::memchr(p, ';', size_t(std::min<qint64>(end - p, 12))));
    if (!semi) return 0;
    const std::string_view name(p + 1, size_t(semi - p - 1));
    *after = semi + 1;
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "amp") return '&';
    if (name == "quot") return '"';
    if (name == "apos") return '\'';
    if (name.size() >= 2 && name[0] == '#') {
        char32_t v = 0;
        const bool hex = name[1] == 'x';
        const size_t start = hex ? 2 : 1;
        if (start >= name.size()) return 0;
        for (size_t i = start; i < name.size(); ++i) {
            const char ch = name[i];
            int d;
            if (ch >= '0' && ch <= '9')
                d = ch - '0';
            else if (hex && ch >= 'a' && ch <= 'f')
                d = ch - 'a' + 10;
            else if (hex && ch >= 'A' && ch <= 'F')
                d = ch - 'A' + 10;
            else
                return 0;
            v = v * (hex ? 16 : 10) + char32_t(d);
            if (v > 0x10FFFF) return 0xFFFD;
        }
        return v ? v : 0xFFFD;
    }
    return 0;
}

}  // namespace

Scanner::Scanner(const char* begin, const char* end, const QString& partName)
    : begin_(begin), end_(end), pos_(begin), part_(partName) {
    attributes_.reserve(8);
}

void Scanner::fail(const char* what) const {
    throw Error(ErrorCode::NotAWorkbook, QStringLiteral("part %1 is malformed XML at offset %2: %3")
                                             .arg(part_)
                                             .arg(tokenBegin_ ? tokenBegin_ - begin_ : 0)
                                             .arg(QString::fromLatin1(what)));
}

std::string_view Scanner::localName() const {
    const size_t colon = name_.rfind(':');
    return colon == std::string_view::npos ? name_ : name_.substr(colon + 1);
}

std::string_view Scanner::attribute(std::string_view local) const {
    for (const Attribute& a : attributes_) {
        const size_t colon = a.name.rfind(':');
        const std::string_view n =
            colon == std::string_view::npos ? a.name : a.name.substr(colon + 1);
        if (n == local) return a.value;
    }
    return {};
}

bool Scanner::hasAttribute(std::string_view local) const {
    for (const Attribute& a : attributes_) {
        const size_t colon = a.name.rfind(':');
        if ((colon == std::string_view::npos ? a.name : a.name.substr(colon + 1)) == local)
            return true;
    }
    return false;
}

Scanner::Token Scanner::next() {
    for (;;) {
        tokenBegin_ = pos_;
        if (pos_ >= end_) return token_ = Token::Eof;
        if (*pos_ != '<') {
            const char* lt = find(pos_, end_, "<");
            const char* stop = lt ? lt : end_;
            text_ = std::string_view(pos_, size_t(stop - pos_));
            cdata_ = false;
            pos_ = stop;
            return token_ = Token::Text;
        }
        if (end_ - pos_ >= 4 && std::memcmp(pos_, "<!--", 4) == 0) {
            const char* close = find(pos_ + 4, end_, "-->");
            if (!close) fail("unterminated comment");
            pos_ = close + 3;
            continue;
        }
        if (end_ - pos_ >= 2 && pos_[1] == '?') {
            const char* close = find(pos_ + 2, end_, "?>");
            if (!close) fail("unterminated processing instruction");
            pos_ = close + 2;
            continue;
        }
        if (end_ - pos_ >= 9 && std::memcmp(pos_, "<![CDATA[", 9) == 0) {
            const char* close = find(pos_ + 9, end_, "]]>");
            if (!close) fail("unterminated CDATA section");
            text_ = std::string_view(pos_ + 9, size_t(close - pos_ - 9));
            cdata_ = true;
            pos_ = close + 3;
            return token_ = Token::Text;
        }
        if (end_ - pos_ >= 2 && pos_[1] == '!') fail("a DTD, which workbook parts may not hold");
        readTag();
        return token_;
    }
}

void Scanner::readTag() {
    const char* p = pos_ + 1;
    const bool closing = p < end_ && *p == '/';
    if (closing) ++p;
    const char* nameStart = p;
    while (p < end_ && !isSpace(*p) && *p != '>' && *p != '/') ++p;
    if (p == nameStart || p >= end_) fail("a tag without a name or end");
    name_ = std::string_view(nameStart, size_t(p - nameStart));
    attributes_.clear();
    if (closing) {
        while (p < end_ && isSpace(*p)) ++p;
        if (p >= end_ || *p != '>') fail("an end tag that does not close");
        pos_ = p + 1;
        token_ = Token::End;
        return;
    }
    for (;;) {
        while (p < end_ && isSpace(*p)) ++p;
        if (p >= end_) fail("an unterminated tag");
        if (*p == '>') {
            pos_ = p + 1;
            token_ = Token::Start;
            return;
        }
        if (*p == '/') {
            if (p + 1 >= end_ || p[1] != '>') fail("a stray '/' in a tag");
            pos_ = p + 2;
            token_ = Token::Empty;
            return;
        }
        const char* attrName = p;
        while (p < end_ && !isSpace(*p) && *p != '=' && *p != '>' && *p != '/') ++p;
        Attribute a;
        a.name = std::string_view(attrName, size_t(p - attrName));
        while (p < end_ && isSpace(*p)) ++p;
        if (a.name.empty() || p >= end_ || *p != '=') fail("an attribute without a value");
        ++p;
        while (p < end_ && isSpace(*p)) ++p;
        if (p >= end_ || (*p != '"' && *p != '\'')) fail("an unquoted attribute value");
        a.quote = *p;
        const char* close =
            static_cast<const char*>(std::memchr(p + 1, a.quote, size_t(end_ - p - 1)));
        if (!close) fail("an unterminated attribute value");
        a.value = std::string_view(p + 1, size_t(close - p - 1));
        attributes_.push_back(a);
        p = close + 1;
    }
}

void Scanner::skipElement() {
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
            case Token::Start:
                ++depth;
                break;
            case Token::End:
                --depth;
                break;
            case Token::Eof:
                fail("an element that is never closed");
            default:
                break;
        }
    }
}

QString Scanner::elementText() {
    std::vector<char16_t> out;
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
            case Token::Start:
                ++depth;
                break;
            case Token::End:
                --depth;
                break;
            case Token::Text:
                appendDecoded(out, text_, cdata_);
                break;
            case Token::Eof:
                fail("an element that is never closed");
            default:
                break;
        }
    }
    return QString(reinterpret_cast<const QChar*>(out.data()), qsizetype(out.size()));
}

void appendDecoded(std::vector<char16_t>& out, std::string_view raw, bool cdata) {
    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
    const auto* end = p + raw.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            if (c == '&' && !cdata) {
                const char* after = nullptr;
                const char32_t cp = entityAt(reinterpret_cast<const char*>(p),
                                             reinterpret_cast<const char*>(end), &after);
                if (cp) {
                    appendCodePoint(out, cp);
                    p = reinterpret_cast<const unsigned char*>(after);
                    continue;
                }
            }
            if (c == '\r') {
                // "\r\n" and a lone "\r" both read as "\n".
                out.push_back(u'\n');
                ++p;
                if (p < end && *p == '\n') ++p;
                continue;
            }
            out.push_back(char16_t(c));
            ++p;
            continue;
        }
        appendCodePoint(out, decodeUtf8(p, end));
    }
}

void appendUtf8(std::vector<char16_t>& out, std::string_view utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        if (*p < 0x80)
            out.push_back(char16_t(*p++));
        else
            appendCodePoint(out, decodeUtf8(p, end));
    }
}

QString decoded(std::string_view raw, bool cdata) {
    // Plain ASCII without markup is the common case for numbers and names.
    bool plain = true;
    for (char c : raw)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '&' || c == '\r') {
            plain = false;
            break;
        }
    if (plain) return QString::fromLatin1(raw.data(), qsizetype(raw.size()));
    std::vector<char16_t> out;
    out.reserve(raw.size());
    appendDecoded(out, raw, cdata);
    return QString(reinterpret_cast<const QChar*>(out.data()), qsizetype(out.size()));
}

void appendEscaped(QByteArray& out, QStringView text, bool attribute) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            switch (u) {
                case '&':
                    out.append("&amp;");
                    continue;
                case '<':
                    out.append("&lt;");
                    continue;
                case '>':
                    out.append("&gt;");
                    continue;
                case '\r':
                    out.append("&#13;");
                    continue;
                default:
                    break;
            }
            if (attribute) {
                if (u == '"') {
                    out.append("&quot;");
                    continue;
                }
                if (u == '\n') {
                    out.append("&#10;");
                    continue;
                }
                if (u == '\t') {
                    out.append("&#9;");
                    continue;
                }
            }
            // Control characters XML cannot hold are dropped.
            if (u < 0x20 && u != '\t' && u != '\n') continue;
            out.append(char(u));
            continue;
        }
        char32_t cp = u;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < n && text[i + 1].unicode() >= 0xDC00 && text[i + 1].unicode() <= 0xDFFF) {
                cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1].unicode() - 0xDC00);
                ++i;
            } else {
                continue;  // a lone surrogate
            }
        } else if ((u >= 0xDC00 && u <= 0xDFFF) || u == 0xFFFE || u == 0xFFFF) {
            continue;
        }
        if (cp < 0x800) {
            out.append(char(0xC0 | (cp >> 6)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(char(0xE0 | (cp >> 12)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else {
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        }
    }
}

}  // namespace excel::xml
