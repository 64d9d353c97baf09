// Reference counting and the registry of automation servers.
#include "report/Dispatch.h"

#include "report/SpreadsheetServer.h"

#include <map>

namespace {
// Program id -> factory. Holds the built-in server from the start, the way
// an installed Excel is in the class registry before anyone asks for it.
std::map<QString, DispatchFactory>& Registry()
{
    static std::map<QString, DispatchFactory> registry{{SPREADSHEET_PROG_ID, &CreateSpreadsheetServer}};
    return registry;
}
} // namespace

void RegisterDispatchServer(const QString& strProgId, DispatchFactory factory)
{
    Registry()[strProgId] = std::move(factory);
}

void UnregisterDispatchServer(const QString& strProgId)
{
    Registry().erase(strProgId);
}

Dispatch* CreateDispatchObject(const QString& strProgId)
{
    auto it = Registry().find(strProgId);
    if (it == Registry().end() || !it->second)
        return nullptr;
    try
    {
        return it->second();
    }
    catch (...)
    {
        return nullptr; // a server that throws while starting did not start
    }
}
