// The application object: prepares the process and runs the main dialog.
#pragma once

#include <QApplication>

class MeterClientApp
{
public:
    MeterClientApp(int& argc, char** argv);
    ~MeterClientApp();

    // Runs the main dialog modally; always false, after which the program ends.
    bool InitInstance();

private:
    QApplication m_app;
};
