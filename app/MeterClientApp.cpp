// Start-up: the main dialog as a local object, run modally.
#include "app/MeterClientApp.h"

#include "ui/MeterClientDlg.h"

MeterClientApp::MeterClientApp(int& argc, char** argv) : m_app(argc, argv) {}

MeterClientApp::~MeterClientApp() = default;

bool MeterClientApp::InitInstance()
{
    // There is no COM to initialise here; the order of start-up is kept:
    // construct the dialog, run it, then let it go with everything it owns.
    MeterClientDlg dlg;
    dlg.DoModal();
    return false;
}
