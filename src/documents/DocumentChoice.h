#pragma once
// The two registry operations that ask the user: choosing one of the shown
// table's documents (with the search for a template file that has gone) and
// choosing the table's card document. The main window's members of the same
// names forward here with its own dialogs.
#include <QString>

#include "documents/MainWindowState.h"
#include "documents/Registry.h"

class QWidget;
class TForm8;
class TForm12;
namespace platform {
class Services;
}

namespace documents {

// Lets the user choose a document in dialog; fills chosen and returns its ID,
// or -1 (after telling the user why, where there is something to tell).
// excelFilter: the filter of the open dialog that looks for a lost template.
int SelectDocument(Registry& registry, platform::Services& services, TForm8& dialog,
                   QWidget* parent, const QString& excelFilter, ChosenDocument& chosen);

// Lets the user choose the card document in dialog and stores the choice.
void EditCardDocument(Registry& registry, platform::Services& services, TForm12& dialog,
                      QWidget* parent);

}  // namespace documents
