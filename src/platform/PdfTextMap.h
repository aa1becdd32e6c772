#pragma once
// The text a reader copies out of a PDF that Qt wrote is taken from each
// font's ToUnicode map, which Qt builds glyph by glyph from the lowest code
// point the font draws with that glyph. CJK fonts draw a Kangxi radical with
// the glyph of its ideograph (U+2F52 and 氏), "・" with the glyph of U+2027,
// and so on, so "氏名" is copied as "⽒名". A print job therefore notes what it
// drew (DrawnText), and once the file is written its text maps are put right:
// each glyph reads back as the character that was drawn with it.
#include <QFont>
#include <QList>
#include <QSet>
#include <QString>

class QPagedPaintDevice;

namespace platform {

// The characters a print job drew and the fonts it drew them in.
class DrawnText {
public:
    void add(const QString& text, const QFont& font);
    bool empty() const { return chars_.isEmpty(); }
    bool contains(char32_t c) const { return chars_.contains(c); }
    const QSet<char32_t>& chars() const { return chars_; }
    const QList<QFont>& fonts() const { return fonts_; }

private:
    QSet<char32_t> chars_;
    QList<QFont> fonts_;
    QSet<QString> fontKeys_;
};

// Rewrites the text maps of a PDF file written by Qt (see above). Returns
// the number of glyphs whose text changed; 0 leaves the file untouched. A
// file not laid out as Qt writes it is left as it is. Throws
// std::runtime_error when the corrected file cannot be written (the file is
// replaced whole or not at all).
int correctPdfTextMap(const QString& pdfPath, const DrawnText& drawn);

// The font to print text in. Qt writes no text for a glyph that no
// character maps to, and OpenType shaping draws some characters with such
// glyphs: a CJK font gives digits after Latin letters proportional variants,
// so "Latin 123" would copy out as "Latin". Text printed in the returned font
// is drawn glyph by glyph from the font's character map, which every
// character can be read back from; screens use it too, so that both break
// lines at the same places.
QFont printableFont(QFont font);

// The PDF file a paint device writes to, "" when it is not writing a PDF
// file (a printer, or a device of another kind).
QString pdfFileOf(QPagedPaintDevice& device);

}  // namespace platform
