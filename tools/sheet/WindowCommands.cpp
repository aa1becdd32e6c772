#include "WindowCommands.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cstdio>

#include "excel/Workbook.h"
#include "excel/window/SheetPrinting.h"

namespace {

const char usage[] =
    "usage:\n"
    "  tesmora-sheet pdf FILE SHEET OUT.pdf\n"
    "  tesmora-sheet png FILE SHEET OUT.png\n";

int fail(const QString& message) {
    std::fprintf(stderr, "tesmora-sheet: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// Prints into a temporary file beside out and renames it over out, so a
// failed run never leaves half a PDF under the asked name.
int writePdf(const excel::Worksheet& sheet, const QString& out) {
    QTemporaryFile temp(
        QFileInfo(out).absoluteDir().filePath(QStringLiteral(".tesmora-XXXXXX.pdf")));
    if (!temp.open()) return fail(QStringLiteral("cannot write into the folder of %1").arg(out));
    temp.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temp.fileName());
    printer.setDocName(sheet.name());
    excel::window::printSheet(sheet, printer);
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(out).constData()) != 0)
        return fail(QStringLiteral("cannot write %1").arg(out));
    temp.setAutoRemove(false);
    return 0;
}

int writePng(excel::Worksheet& sheet, const QString& out) {
    QImage image = excel::window::renderSheetImage(sheet);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        return fail(QStringLiteral("cannot write %1").arg(out));
    return 0;
}

}  // namespace

std::optional<int> runWindowCommand(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    QByteArray command(argv[1]);
    if (command != "pdf" && command != "png") return std::nullopt;
    if (argc != 5) {
        std::fputs(usage, stderr);
        return 2;
    }
    // Drawing needs a GUI application but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    try {
        auto book = excel::Workbook::open(args[2]);
        excel::Worksheet* sheet = book->sheetByName(args[3]);
        if (!sheet) return fail(QStringLiteral("no sheet named \"%1\"").arg(args[3]));
        for (int i = 0; i < book->sheetCount(); ++i)
            if (&book->sheet(i) == sheet) book->setActiveSheet(i);
        return command == "pdf" ? writePdf(*sheet, args[4]) : writePng(*sheet, args[4]);
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
}
