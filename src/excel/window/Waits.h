#pragma once
// Waiting on a shown workbook without freezing it. The program's windows
// either wait until the user has closed the sheet window, or show one of
// their dialogs above it and wait for the answer while the user keeps working
// in the sheet. Both run a local event loop: the calling window is disabled
// meanwhile, every other window stays live, and the caller continues where it
// stopped once the wait ends.
class QDialog;
class QWidget;

namespace platform {
class Services;
}

namespace excel {
class TUGExcel;
}

namespace excel::window {

class SheetWindow;

// Returns when sheet has closed (at once when it is null or already
// closed). caller, when given, is disabled until then.
void waitUntilClosed(SheetWindow* sheet, QWidget* caller);

// Shows dialog without activating it, kept above sheet (or above whatever
// modal dialog runs when there is no sheet), and returns its result code once
// the user closes it. The dialog runs through services (showFloating), so a
// test double can answer it like any modal dialog. The dialog keeps its owner
// afterwards; caller, when given, is disabled meanwhile. The dialog stays up
// even when the sheet window is closed under it: the caller then finds the
// book closed.
int showAbove(platform::Services& services, QDialog& dialog, SheetWindow* sheet, QWidget* caller);

// The same for the workbook that excel shows (none shown: nothing to wait
// for, and the dialog floats above the program's own windows).
void waitUntilClosed(const TUGExcel& excel, QWidget* caller);
int showAbove(platform::Services& services, QDialog& dialog, const TUGExcel& excel,
              QWidget* caller);

}  // namespace excel::window
