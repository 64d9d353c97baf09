// meterclient: the desktop companion of the fibre-optic test meter.
//
//   meterclient [--port PATH]... [--demo]
//
// --port adds a serial device (a virtual or network port that enumeration
// does not show) to the port list; --demo runs the simulated meter inside the
// program and lists its port.
#include "app/MeterClientApp.h"

int main(int argc, char** argv)
{
    MeterClientApp app(argc, argv);
    return app.InitInstance() ? 1 : 0;
}
