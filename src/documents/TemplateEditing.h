#pragma once
// "雛形編集": the user changes a registered document's template, its layout
// included, or a copy of it that becomes a new document with the same
// bindings and settings. The workbook opens in LibreOffice Calc where its
// desktop build is installed (a private instance, so that the program knows
// when the user has closed it even while the user's own LibreOffice runs),
// otherwise in the program's sheet window; the main window waits, disabled,
// until the user has closed it. Whatever the user saves there is the user's:
// the program never saves the workbook.
#include <QString>
#include <QStringList>

class TForm14;
namespace platform {
class Services;
}

namespace documents {

class MainWindowState;

// LibreOffice's program when its desktop interface is installed; "" when
// there is none or only the headless build (which cannot show a window).
QString calcEditorProgram();
// The arguments that open path in a LibreOffice instance of its own, whose
// settings live in profileFolder.
QStringList calcEditorArguments(const QString& path, const QString& profileFolder);

// Copies from onto to, replacing to only once the whole copy is written.
// False (to untouched) when it cannot, or when both name the same file.
bool copyTemplate(const QString& from, const QString& to);

// The whole job. editorProgram: the external editor to wait for (from
// calcEditorProgram), "" to show the workbook in the sheet window.
void EditTemplate(MainWindowState& main, platform::Services& services, TForm14& dialog,
                  const QString& editorProgram);

}  // namespace documents
