// Start-up: the main dialog as a local object, run modally.
#include "app/MeterClientApp.h"

#include "ui/MeterClientDlg.h"

#include <QGuiApplication>

MeterClientApp::MeterClientApp(int& argc, char** argv) : m_app(argc, argv)
{
    // The desktop entry's name, so that Wayland compositors and docks match
    // the window to the entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.meterclient.MeterClient"));
}

MeterClientApp::~MeterClientApp() = default;

bool MeterClientApp::InitInstance()
{
    // There is no COM to initialise here; the order of start-up is kept:
    // construct the dialog, run it, then let it go with everything it owns.
    MeterClientDlg dlg;
    // A report named on the command line opens once the dialog is up.
    dlg.SetStartupReport(m_strStartupFile);
    dlg.DoModal();
    return false;
}
