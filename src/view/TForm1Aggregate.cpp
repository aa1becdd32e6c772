// The main window's side of aggregation: the ﾃﾞｰﾀ集計 button. The window
// reads the grid's records through aggregate::MainWindowState.
#include "aggregate/TForm13.h"
#include "view/TForm1.h"

void TForm1::SpeedButton17Click() {
    if (!tableShownOrRefuse(QStringLiteral("文書出力の中止"))) return;
    if (!Form13) Form13 = new TForm13(services_, *this, this);
    services_.execDialog(Form13);
}
