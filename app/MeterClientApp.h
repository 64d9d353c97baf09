// The application object: prepares the process and runs the main dialog.
#pragma once

#include <QApplication>
#include <QString>

class MeterClientApp
{
public:
    MeterClientApp(int& argc, char** argv);
    ~MeterClientApp();

    // A report to open once the dialog is up (the FILE of the command line).
    void SetStartupFile(const QString& strPath) { m_strStartupFile = strPath; }
    const QString& GetStartupFile() const { return m_strStartupFile; }

    // Runs the main dialog modally; always false, after which the program ends.
    bool InitInstance();

private:
    QApplication m_app;
    QString m_strStartupFile;
};
