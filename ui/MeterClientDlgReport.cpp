// Placeholder bodies of the dialog's report handlers (being written).
#include "ui/MeterClientDlg.h"

void MeterClientDlg::OnBtnSave() {}
void MeterClientDlg::CollectListRows() {}
bool MeterClientDlg::WriteReport(QString) { return false; }
void MeterClientDlg::OnBtnOpen() {}
bool MeterClientDlg::ReadReport(QString) { return false; }
void MeterClientDlg::ClearRowTexts() {}
