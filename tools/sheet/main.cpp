// tesmora-sheet: the workbook engine from the command line, for scripts and
// for checking what a template holds.
//
//   cells FILE [SHEET]                   every non-empty cell as address,text CSV
//   set FILE SHEET OUT ADDR=TEXT...      writes cells into a copy
//   picture FILE SHEET OUT SHAPE IMAGE   replaces a named picture in a copy
//   link FILE SHEET OUT ADDR TARGET TEXT adds a hyperlink in a copy
//   html FILE SHEET OUT                  writes the sheet as a Web page
//   pdf FILE SHEET OUT / png FILE SHEET OUT  see WindowCommands.h
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "excel/Csv.h"
#include "excel/HtmlWriter.h"
#include "excel/Workbook.h"
#include "WindowCommands.h"

namespace {

const char usage[] =
    "usage:\n"
    "  tesmora-sheet cells FILE [SHEET]\n"
    "  tesmora-sheet set FILE SHEET OUT ADDR=TEXT...\n"
    "  tesmora-sheet picture FILE SHEET OUT SHAPE IMAGE\n"
    "  tesmora-sheet link FILE SHEET OUT ADDR TARGET TEXT\n"
    "  tesmora-sheet html FILE SHEET OUT\n"
    "  tesmora-sheet pdf FILE SHEET OUT.pdf\n"
    "  tesmora-sheet png FILE SHEET OUT.png\n";

struct UsageError {
    QString message;
};

excel::Worksheet& sheetNamed(excel::Workbook& book, const QString& name) {
    excel::Worksheet* ws = book.sheetByName(name);
    if (!ws) throw UsageError{QStringLiteral("no sheet named \"%1\"").arg(name)};
    book.setActiveSheet([&] {
        for (int i = 0; i < book.sheetCount(); ++i)
            if (&book.sheet(i) == ws) return i;
        return 0;
    }());
    return *ws;
}

excel::CellRef cellArg(const QString& text) {
    const auto ref = excel::parseCellRef(text);
    if (!ref) throw UsageError{QStringLiteral("\"%1\" is not a cell address").arg(text)};
    return *ref;
}

int run(const QStringList& args) {
    if (args.isEmpty()) throw UsageError{};
    const QString cmd = args[0];
    auto need = [&](qsizetype n, bool orMore = false) {
        if (orMore ? args.size() < n : args.size() != n) throw UsageError{};
    };
    QTextStream out(stdout);
    if (cmd == QLatin1String("cells")) {
        if (args.size() != 2 && args.size() != 3) throw UsageError{};
        auto book = excel::Workbook::open(args[1]);
        excel::Worksheet& ws = args.size() == 3 ? sheetNamed(*book, args[2]) : book->activeSheet();
        ws.forEachCell([&](const excel::CellRef& ref, const excel::CellValue&) {
            out << excel::cellRefText(ref) << ',' << excel::csvField(ws.valueText(ref.row, ref.col))
                << "\r\n";
        });
        return 0;
    }
    if (cmd == QLatin1String("set")) {
        need(5, true);
        auto book = excel::Workbook::open(args[1]);
        excel::Worksheet& ws = sheetNamed(*book, args[2]);
        for (qsizetype i = 4; i < args.size(); ++i) {
            const qsizetype eq = args[i].indexOf(QLatin1Char('='));
            if (eq < 0) throw UsageError{QStringLiteral("\"%1\" is not ADDR=TEXT").arg(args[i])};
            const auto range = excel::parseRangeRef(args[i].left(eq));
            if (!range)
                throw UsageError{
                    QStringLiteral("\"%1\" is not a cell address").arg(args[i].left(eq))};
            ws.setRangeText(*range, args[i].mid(eq + 1));
        }
        book->saveAs(args[3]);
        return 0;
    }
    if (cmd == QLatin1String("picture")) {
        need(6);
        auto book = excel::Workbook::open(args[1]);
        excel::Worksheet& ws = sheetNamed(*book, args[2]);
        if (!ws.replacePicture(args[4], args[5]))
            throw UsageError{QStringLiteral("no shape named \"%1\"").arg(args[4])};
        book->saveAs(args[3]);
        return 0;
    }
    if (cmd == QLatin1String("link")) {
        need(7);
        auto book = excel::Workbook::open(args[1]);
        excel::Worksheet& ws = sheetNamed(*book, args[2]);
        ws.addHyperlink(cellArg(args[4]), args[5], args[6]);
        book->saveAs(args[3]);
        return 0;
    }
    if (cmd == QLatin1String("html")) {
        need(4);
        auto book = excel::Workbook::open(args[1]);
        sheetNamed(*book, args[2]);
        excel::writeWebPage(*book, args[3]);
        return 0;
    }
    throw UsageError{QStringLiteral("unknown command \"%1\"").arg(cmd)};
}

}  // namespace

int main(int argc, char** argv) {
    if (std::optional<int> drawn = runWindowCommand(argc, argv)) return *drawn;
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    try {
        return run(args);
    } catch (const UsageError& e) {
        if (!e.message.isEmpty())
            std::fprintf(stderr, "tesmora-sheet: %s\n", e.message.toLocal8Bit().constData());
        std::fputs(usage, stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesmora-sheet: %s\n", e.what());
        return 1;
    }
}
