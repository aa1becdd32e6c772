#pragma once
// The window in which a workbook is shown to the user: one per shown
// workbook, titled with its file name, a tab per sheet, the sheet area, and a
// save button. The user selects, edits, saves and closes here while the
// program's own dialogs wait or float above it. Closing with unsaved changes
// asks whether to save, as a spreadsheet does.
#include <QDialog>
#include <QWidget>

#include "excel/BookPresenter.h"
#include "excel/window/SheetSelection.h"

class QTabBar;
class QLabel;
class QToolButton;

namespace platform {
class Services;
}
namespace excel {
class Workbook;
class Error;
}  // namespace excel

namespace excel::window {

class SheetView;

// "Save changes?" with the three answers a spreadsheet gives on closing.
class SaveChangesDialog : public QDialog {
    Q_OBJECT
public:
    enum Result { Cancel = QDialog::Rejected, Save = QDialog::Accepted, DontSave = 2 };
    SaveChangesDialog(const QString& fileName, QWidget* parent = nullptr);
};

class SheetWindow : public QWidget {
    Q_OBJECT
public:
    // book and services must outlive the window.
    SheetWindow(Workbook& book, platform::Services& services);
    ~SheetWindow() override;

    // Shows the window (raised); a window shown while one of the program's
    // modal dialogs runs stays usable beside it.
    void present();
    // True from construction until the user (or closeWithoutAsking) closed it.
    bool isOpen() const { return open_; }
    // Closes without asking, as the program does when it closes the book.
    void closeWithoutAsking();

    // The sheet shown follows the workbook's active sheet.
    void showActiveSheet();
    // Redraws after the program changed cells, pictures or sizes.
    void refresh();
    // Redraws after the program wrote values into range of the shown sheet;
    // cheaper than refresh, which re-reads sizes and pictures.
    void cellsChanged(const RangeRef& range);
    // Saves into the workbook's own file; false (after telling the user) on
    // failure.
    bool save();

    SheetView& view() const { return *view_; }
    // The selection as the program reads it: the selected shapes, or the
    // selected cells grown to whole merged areas.
    Selection selection() const;

signals:
    // The window has closed; the book stays open in the program.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Coming back to the window shows what the program wrote meanwhile.
    void changeEvent(QEvent* event) override;

private:
    void tabChosen(int index);
    void updateTitle();
    void updateAddress();

    Workbook& book_;
    platform::Services& services_;
    SheetView* view_;
    QTabBar* tabs_;
    QLabel* address_;
    QToolButton* saveButton_;
    bool open_ = true;
    bool closingWithoutAsking_ = false;
};

}  // namespace excel::window
