#include "SheetFixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "excel/Fixtures.h"
#include "excel/window/SheetView.h"

namespace sheettest {

namespace {

QString generated(bool tall) {
    static QTemporaryDir dir;
    static bool madeSmall = false, madeTall = false;
    bool& made = tall ? madeTall : madeSmall;
    if (!made) {
        QString out;
        QStringList args{QStringLiteral(TESMORA_SOURCE_TESTS "/excel/window/make_sheets.py"),
                         dir.path()};
        if (tall) args << QStringLiteral("--tall");
        int rc = exceltest::runProgram(QStringLiteral("/usr/bin/python3"), args, &out, 300000);
        if (rc != 0) {
            ADD_FAILURE() << "sheets could not be generated: " << out.toStdString();
            return {};
        }
        made = true;
    }
    return dir.path();
}

}  // namespace

QString sheetFixture(const QString& name) {
    return QDir(generated(name == QLatin1String("tall.xlsx"))).filePath(name);
}

QString copySheet(const QString& name, const QString& dir) {
    QString target = QDir(dir).filePath(name);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(sheetFixture(name), target)) << name.toStdString();
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

excel::window::PrinterSource pdfPrinters(const QString& dir) {
    auto jobs = std::make_shared<int>(0);
    return [dir, jobs] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QDir(dir).filePath(QStringLiteral("job%1.pdf").arg(++*jobs)));
        return printer;
    };
}

int pdfPageCount(const QString& pdf) {
    QString out;
    EXPECT_EQ(exceltest::runProgram(QStringLiteral("pdfinfo"), {pdf}, &out), 0)
        << out.toStdString();
    QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfText(const QString& pdf, int page) {
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    args << pdf << QStringLiteral("-");
    QString out;
    EXPECT_EQ(exceltest::runProgram(QStringLiteral("pdftotext"), args, &out), 0)
        << out.toStdString();
    // The CJK fonts map some ideographs and their radical forms to one glyph,
    // and the PDF's text layer may name the radical (⾒ for 見); compatibility
    // normalisation folds them back.
    return out.normalized(QString::NormalizationForm_KC);
}

QPoint cellCentre(const excel::window::SheetView& view, int row, int col) {
    return view.cellViewportRect(excel::CellRef{row, col}).center();
}

}  // namespace sheettest
