// PDF files read back (pdftotext, not normalised) as the text drawn into
// them, for kanji whose glyph a CJK font shares with a radical, for kana, and
// for digits after Latin letters, which shaping would draw with glyphs no
// character maps to.
#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/PdfTextMap.h"

namespace {

const QStringList lines = {
    QStringLiteral("氏名 山田 日月 生用 入見 行力 人"),
    QStringLiteral("やまだ たろう ヤマダ・タロウ ー"),
    QStringLiteral("ｶﾀｶﾅ 〜 〈囲み〉 ﾀﾛｳ"),
    QStringLiteral("Latin 123 ABC-001 TEL 03-1234-5678 山田 2024年"),
};

// Draws the lines into pdf, noting them in drawn.
void draw(const QString& pdf, platform::DrawnText& drawn) {
    QPdfWriter writer(pdf);
    QPainter painter(&writer);
    painter.setFont(platform::printableFont(QFont(QStringLiteral("Noto Sans CJK JP"), 12)));
    int y = 400;
    for (const QString& line : lines) {
        painter.drawText(200, y, line);
        drawn.add(line, painter.font());
        y += 400;
    }
}

QString extracted(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return QStringLiteral("(pdftotext failed)");
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

TEST(PdfTextMap, EveryGlyphReadsBackAsTheCharacterDrawn) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("text.pdf"));
    platform::DrawnText drawn;
    draw(pdf, drawn);
    const QByteArray before = [&] {
        QFile f(pdf);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    // Qt's own map names radicals (⽒名 for 氏名); that is what is put right.
    const int changed = platform::correctPdfTextMap(pdf, drawn);
    EXPECT_GT(changed, 0);
    const QString text = extracted(pdf);
    for (const QString& line : lines) EXPECT_TRUE(text.contains(line)) << text.toStdString();
    for (QChar c : text)
        EXPECT_FALSE(c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF)
            << "radical U+" << std::hex << int(c.unicode());

    // A second pass finds nothing left to do and leaves the file alone.
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray fixed = f.readAll();
    f.close();
    EXPECT_NE(fixed, before);
    EXPECT_EQ(platform::correctPdfTextMap(pdf, drawn), 0);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), fixed);
}

TEST(PdfTextMap, FilesNotWrittenAsExpectedAreLeftAlone) {
    QTemporaryDir dir;
    platform::DrawnText drawn;
    drawn.add(QStringLiteral("氏"), QFont(QStringLiteral("Noto Sans CJK JP")));
    const QString other = dir.filePath(QStringLiteral("other.pdf"));
    const QByteArray bytes = "%PDF-1.4\n1 0 obj\n<< /ToUnicode 9 0 R >>\nendobj\n%%EOF\n";
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    EXPECT_EQ(platform::correctPdfTextMap(other, drawn), 0);
    EXPECT_EQ(platform::correctPdfTextMap(dir.filePath(QStringLiteral("missing.pdf")), drawn), 0);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);
}
