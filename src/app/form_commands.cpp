// Commands of the menus, the buttons and the chart that are not built yet: wired, and doing nothing.
#include "app/form_main.h"

namespace quorvel {

void TFormMain::itmReadClick() {}

void TFormMain::itmWriteClick() {}

void TFormMain::itmTablCopyClick() {}

void TFormMain::itmTablPasteClick() {}

void TFormMain::btnCopyClick() {}

void TFormMain::btnGraphCopyClick() {}

void TFormMain::btnPrintClick() {}

void TFormMain::itmClearClick() {}

void TFormMain::itmExitClick() {}

void TFormMain::Chart1Click() {}

void TFormMain::Chart1ClickSeries() {}

}  // namespace quorvel
