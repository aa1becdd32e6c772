#pragma once
// The seam between TUGExcel and the sheet window. The engine never shows a
// window; when a caller wants a workbook shown, printed or asks for the
// user's live selection, TUGExcel asks the presenter factory that the GUI
// library registered at start-up for a presenter of that workbook. Without a
// registered factory those operations throw Error(NoPresenter).
#include <QString>
#include <functional>
#include <memory>

#include "excel/Model.h"

namespace excel {

class Workbook;

// What the user has selected in a shown workbook: one or more shapes, or a
// range of cells.
struct Selection {
    QStringList shapeNames;  // non-empty when shapes are selected
    RangeRef cells;          // the cell range when no shape is selected
};

class BookPresenter {
public:
    virtual ~BookPresenter() = default;
    // Shows or hides the workbook's window. The presenter keeps a reference
    // to the workbook; TUGExcel destroys the presenter before the workbook.
    virtual void setVisible(bool visible) = 0;
    // True while the window the user works in is open (a hidden presenter
    // that was never shown counts as open).
    virtual bool isOpen() const = 0;
    virtual QString caption() const = 0;
    virtual Selection selection() const = 0;
    // Prints the active sheet once with the page setup stored in the
    // workbook. Throws Error on failure.
    virtual void printActiveSheet() = 0;
    // The program wrote values into range of the active sheet; the window
    // shows them at once, without waiting for the user to touch it.
    virtual void cellsChanged(const RangeRef& range) = 0;
    // The program changed more than values (pictures, the active sheet):
    // the window re-reads the sheet before it shows it again.
    virtual void layoutChanged() = 0;
    // Writes what the user is still typing in a cell into the workbook, as
    // confirming it would, so that the program never reads past it or
    // overwrites it. A value the engine refuses is reported in the window and
    // the cell keeps what it held.
    virtual void commitPendingEdit() = 0;
};

using PresenterFactory = std::function<std::unique_ptr<BookPresenter>(Workbook&)>;

// Registers (or, with an empty function, removes) the factory. Called once
// by the application before any TUGExcel is used.
void setPresenterFactory(PresenterFactory factory);
bool hasPresenterFactory();
// Throws Error(NoPresenter) when no factory is registered.
std::unique_ptr<BookPresenter> createPresenter(Workbook& book);

}  // namespace excel
