// Placeholder bodies of the dialog's meter-link handlers (being written).
#include "ui/MeterClientDlg.h"

void MeterClientDlg::RefreshPortList() {}
void MeterClientDlg::ReadPortNames() {}
void MeterClientDlg::OpenPort(int) {}
void MeterClientDlg::OnSelchangeComboPort() {}
void MeterClientDlg::OnBtnConnect() {}
void MeterClientDlg::SendConnect() {}
void MeterClientDlg::SendDisconnect() {}
bool MeterClientDlg::SendFrame(const QByteArray&) { return false; }
void MeterClientDlg::OnBtnCalRl() {}
void MeterClientDlg::OnBtnCalOpm() {}
void MeterClientDlg::OnBtnRead() {}
void MeterClientDlg::OnBtnSetTime() {}
void MeterClientDlg::OnTimer(int) {}
long MeterClientDlg::OnPortByte(quint32, quint32) { return 0; }
void MeterClientDlg::DispatchReply() {}
void MeterClientDlg::AddRecordRow() {}
void MeterClientDlg::StartDownloadTimer() {}
void MeterClientDlg::StopDownloadTimer() {}
