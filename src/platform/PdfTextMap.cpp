#include "platform/PdfTextMap.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QMap>
#include <QPrinter>
#include <QRawFont>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <stdexcept>
#include <vector>

namespace platform {

void DrawnText::add(const QString& text, const QFont& font) {
    for (char32_t c : text.toUcs4()) chars_.insert(c);
    const QString key = font.family() + QLatin1Char('|') + font.styleName() +
                        QLatin1Char('|') + QString::number(font.weight()) +
                        QLatin1Char('|') + QString::number(int(font.style()));
    if (!fontKeys_.contains(key)) {
        fontKeys_.insert(key);
        fonts_.append(font);
    }
}

QFont printableFont(QFont font) {
    // Japanese and Latin text need no shaping to be legible; with this flag
    // Qt leaves them unshaped.
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    return font;
}

QString pdfFileOf(QPagedPaintDevice& device) {
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        if (printer->outputFormat() == QPrinter::PdfFormat) return printer->outputFileName();
    return {};
}

namespace {

bool isRadical(char32_t c) {
    return (c >= 0x2E80 && c <= 0x2EFF) || (c >= 0x2F00 && c <= 0x2FDF);
}

// Decides, for the text a glyph was mapped to, which drawn character it
// stands for.
class Chooser {
public:
    explicit Chooser(const DrawnText& drawn) : drawn_(drawn) {
        for (const QFont& f : drawn.fonts()) {
            // The font a script falls back to can differ from the font asked
            // for; the Japanese one is where shared glyphs live.
            for (auto system : {QFontDatabase::Any, QFontDatabase::Japanese}) {
                QRawFont raw = QRawFont::fromFont(f, system);
                if (raw.isValid()) fonts_.push_back(raw);
            }
        }
    }

    // The character to read back for mapped (one character), or mapped
    // itself when it stands for what was drawn.
    char32_t choose(char32_t mapped) {
        if (drawn_.contains(mapped)) return mapped;
        auto it = memo_.find(mapped);
        if (it != memo_.end()) return *it;
        char32_t best = mapped;
        // A compatibility form such as a Kangxi radical reads as the
        // ideograph it stands for.
        const QString folded = QString::fromUcs4(&mapped, 1).normalized(QString::NormalizationForm_KC);
        const QList<uint> foldedChars = folded.toUcs4();
        const char32_t fold = foldedChars.size() == 1 ? char32_t(foldedChars[0]) : mapped;
        if (fold != mapped && drawn_.contains(fold)) {
            best = fold;
        } else if (const char32_t same = drawnWithSameGlyph(mapped)) {
            best = same;
        } else if (fold != mapped && isRadical(mapped)) {
            best = fold;  // never drawn as a radical in a form
        }
        memo_.insert(mapped, best);
        return best;
    }

private:
    quint32 glyph(const QRawFont& font, char32_t c) const {
        QChar units[2];
        int n = 0;
        if (QChar::requiresSurrogates(c)) {
            units[0] = QChar(QChar::highSurrogate(c));
            units[1] = QChar(QChar::lowSurrogate(c));
            n = 2;
        } else {
            units[0] = QChar(char16_t(c));
            n = 1;
        }
        quint32 g[2] = {0, 0};
        int count = 2;
        if (!font.glyphIndexesForChars(units, n, g, &count) || count < 1) return 0;
        return g[0];
    }

    // A drawn character that some font of the job draws with the glyph it
    // draws mapped with; 0 when none does.
    char32_t drawnWithSameGlyph(char32_t mapped) const {
        for (const QRawFont& font : fonts_) {
            const quint32 g = glyph(font, mapped);
            if (!g) continue;
            std::vector<char32_t> candidates;
            for (char32_t c : drawn_.chars())
                if (c != mapped && glyph(font, c) == g) candidates.push_back(c);
            if (!candidates.empty()) return *std::min_element(candidates.begin(), candidates.end());
        }
        return 0;
    }

    const DrawnText& drawn_;
    std::vector<QRawFont> fonts_;
    QHash<char32_t, char32_t> memo_;
};

QByteArray hex16(quint32 v, int digits) {
    return QByteArray::number(v, 16).toUpper().rightJustified(digits, '0');
}

// A ToUnicode CMap: source code -> UTF-16 text, plus the code space text.
struct CMap {
    QByteArray codeSpace;
    int codeDigits = 4;
    QMap<quint32, QString> map;
};

QString utf16FromHex(const QByteArray& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    QString s;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        s += QChar(char16_t((quint8(bytes[i]) << 8) | quint8(bytes[i + 1])));
    return s;
}

QByteArray hexFromUtf16(const QString& s) {
    QByteArray out;
    for (QChar c : s) out += hex16(c.unicode(), 4);
    return out;
}

bool parseCMap(const QByteArray& text, CMap& cmap) {
    const qsizetype csFrom = text.indexOf("begincodespacerange");
    const qsizetype csTo = text.indexOf("endcodespacerange");
    if (csFrom < 0 || csTo < csFrom) return false;
    cmap.codeSpace = text.mid(csFrom + 19, csTo - csFrom - 19).trimmed();
    static const QRegularExpression firstCode(QStringLiteral("<([0-9A-Fa-f]+)>"));
    const auto m = firstCode.match(QString::fromLatin1(cmap.codeSpace));
    if (m.hasMatch()) cmap.codeDigits = int(m.capturedLength(1));
    static const QRegularExpression token(QStringLiteral("<([0-9A-Fa-f]*)>|\\[|\\]|([a-z]+)"));
    auto it = token.globalMatch(QString::fromLatin1(text.mid(csTo)));
    enum { None, Char, Range } section = None;
    std::vector<QString> args;
    bool inArray = false;
    std::vector<QString> array;
    while (it.hasNext()) {
        const auto t = it.next();
        const QString word = t.captured(2);
        if (!word.isEmpty()) {
            if (word == QLatin1String("beginbfchar")) section = Char;
            else if (word == QLatin1String("beginbfrange")) section = Range;
            else if (word == QLatin1String("endbfchar") || word == QLatin1String("endbfrange"))
                section = None;
            args.clear();
            continue;
        }
        if (section == None) continue;
        if (t.captured(0) == QLatin1String("[")) {
            inArray = true;
            array.clear();
            continue;
        }
        if (t.captured(0) == QLatin1String("]")) {
            inArray = false;
            if (section != Range || args.size() != 2) return false;
            const quint32 lo = args[0].toUInt(nullptr, 16), hi = args[1].toUInt(nullptr, 16);
            if (hi < lo || quint64(hi - lo) + 1 != array.size()) return false;
            for (quint32 k = lo; k <= hi; ++k)
                cmap.map[k] = utf16FromHex(array[k - lo].toLatin1());
            args.clear();
            continue;
        }
        if (inArray) {
            array.push_back(t.captured(1));
            continue;
        }
        args.push_back(t.captured(1));
        if (section == Char && args.size() == 2) {
            cmap.map[args[0].toUInt(nullptr, 16)] = utf16FromHex(args[1].toLatin1());
            args.clear();
        } else if (section == Range && args.size() == 3) {
            const quint32 lo = args[0].toUInt(nullptr, 16), hi = args[1].toUInt(nullptr, 16);
            if (hi < lo || hi - lo > 0xFFFF) return false;
            QString dst = utf16FromHex(args[2].toLatin1());
            if (dst.isEmpty()) return false;
            for (quint32 k = lo; k <= hi; ++k) {
                cmap.map[k] = dst;
                dst.back() = QChar(char16_t(dst.back().unicode() + 1));
            }
            args.clear();
        }
    }
    return true;
}

QByteArray writeCMap(const CMap& cmap) {
    QByteArray out =
        "/CIDInit /ProcSet findresource begin\n"
        "12 dict begin\n"
        "begincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n"
        "/CMapType 2 def\n"
        "1 begincodespacerange\n";
    out += cmap.codeSpace + "\nendcodespacerange\n";
    // At most 100 entries per block, as CMap readers expect.
    auto it = cmap.map.cbegin();
    while (it != cmap.map.cend()) {
        QByteArray block;
        int n = 0;
        for (; it != cmap.map.cend() && n < 100; ++it, ++n)
            block += '<' + hex16(it.key(), cmap.codeDigits) + "> <" + hexFromUtf16(it.value()) +
                     ">\n";
        out += QByteArray::number(n) + " beginbfchar\n" + block + "endbfchar\n";
    }
    out +=
        "endcmap\n"
        "CMapName currentdict /CMap defineresource pop\n"
        "end\n"
        "end\n";
    return out;
}

// One object of the file that is to be replaced.
struct Splice {
    qsizetype from = 0, to = 0;  // byte range of "N 0 obj ... endobj"
    QByteArray text;
};

}  // namespace

int correctPdfTextMap(const QString& pdfPath, const DrawnText& drawn) {
    if (drawn.empty()) return 0;
    QFile in(pdfPath);
    if (!in.open(QIODevice::ReadOnly)) return 0;
    const QByteArray pdf = in.readAll();
    in.close();
    if (!pdf.startsWith("%PDF-")) return 0;

    // The text maps the fonts name.
    static const QRegularExpression toUnicode(QStringLiteral("/ToUnicode (\\d+) 0 R"));
    QSet<int> objects;
    auto refs = toUnicode.globalMatch(QString::fromLatin1(pdf));
    while (refs.hasNext()) objects.insert(refs.next().captured(1).toInt());
    if (objects.isEmpty()) return 0;

    Chooser chooser(drawn);
    int changed = 0;
    std::vector<Splice> splices;
    for (int number : objects) {
        const QByteArray head = '\n' + QByteArray::number(number) + " 0 obj";
        const qsizetype at = pdf.indexOf(head);
        if (at < 0) continue;
        const qsizetype from = at + 1;
        const qsizetype end = pdf.indexOf("endobj", from);
        const qsizetype streamAt = pdf.indexOf("stream", from);
        if (end < 0 || streamAt < 0 || streamAt > end) continue;
        const QByteArray dict = pdf.mid(from, streamAt - from);
        // Only a plain stream of a direct length, as Qt writes text maps.
        static const QRegularExpression lengthRe(QStringLiteral("/Length (\\d+)"));
        const auto lm = lengthRe.match(QString::fromLatin1(dict));
        if (!lm.hasMatch() || dict.contains("/Filter")) continue;
        qsizetype data = streamAt + 6;
        if (pdf.mid(data, 2) == "\r\n")
            data += 2;
        else if (pdf.mid(data, 1) == "\n")
            data += 1;
        const qsizetype length = lm.captured(1).toLongLong();
        if (data + length > end) continue;
        CMap cmap;
        if (!parseCMap(pdf.mid(data, length), cmap)) continue;
        int fixedHere = 0;
        for (auto it = cmap.map.begin(); it != cmap.map.end(); ++it) {
            const QList<uint> chars = it.value().toUcs4();
            if (chars.size() != 1) continue;  // ligatures carry their own text
            const char32_t mapped = char32_t(chars[0]);
            const char32_t chosen = chooser.choose(mapped);
            if (chosen != mapped) {
                it.value() = QString::fromUcs4(&chosen, 1);
                ++fixedHere;
            }
        }
        if (!fixedHere) continue;
        changed += fixedHere;
        const QByteArray stream = writeCMap(cmap);
        Splice s;
        s.from = from;
        s.to = end + 6;
        s.text = QByteArray::number(number) + " 0 obj\n<< /Length " +
                 QByteArray::number(stream.size()) + " >>\nstream\n" + stream +
                 "endstream\nendobj";
        splices.push_back(std::move(s));
    }
    if (!changed) return 0;

    // The cross-reference table gives every object's offset; objects behind
    // a replaced one move by the difference in length.
    const qsizetype xrefAt = pdf.lastIndexOf("\nxref\n");
    const qsizetype startxrefAt = pdf.lastIndexOf("startxref");
    if (xrefAt < 0 || startxrefAt < xrefAt) return 0;
    std::sort(splices.begin(), splices.end(),
              [](const Splice& a, const Splice& b) { return a.from < b.from; });
    auto shifted = [&](qsizetype offset) {
        qsizetype delta = 0;
        for (const Splice& s : splices)
            if (s.from < offset) delta += s.text.size() - (s.to - s.from);
        return offset + delta;
    };
    QByteArray out;
    out.reserve(pdf.size() + 4096);
    qsizetype pos = 0;
    for (const Splice& s : splices) {
        if (s.from < pos || s.to > xrefAt) return 0;  // overlapping or odd: leave the file
        out += pdf.mid(pos, s.from - pos);
        out += s.text;
        pos = s.to;
    }
    out += pdf.mid(pos, xrefAt + 1 - pos);
    const qsizetype newXref = out.size();
    // The table: "xref", subsections "first count", entries of 20 bytes
    // "oooooooooo ggggg n", then the trailer, which stays as it is.
    const QList<QByteArray> lines = pdf.mid(xrefAt + 1, startxrefAt - xrefAt - 1).split('\n');
    bool inTrailer = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.startsWith("trailer")) inTrailer = true;
        if (!inTrailer && line.size() >= 18 && line.at(10) == ' ' && line.at(16) == ' ' &&
            line.at(17) == 'n') {
            const qsizetype offset = line.left(10).toLongLong();
            line.replace(0, 10, QByteArray::number(shifted(offset)).rightJustified(10, '0'));
        }
        out += line;
        if (i + 1 < lines.size()) out += '\n';
    }
    out += "startxref\n" + QByteArray::number(newXref) + "\n%%EOF\n";

    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        throw std::runtime_error("cannot rewrite " + pdfPath.toStdString());
    return changed;
}

}  // namespace platform
