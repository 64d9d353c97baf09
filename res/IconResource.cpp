// Icon lookup by resource id.
#include "res/IconResource.h"

#include <QFile>

QIcon LoadIconResource(int nId)
{
    for (const char* pszSuffix : {".svg", ".png"})
    {
        const QString strPath = QStringLiteral(":/icons/%1%2").arg(nId).arg(QLatin1String(pszSuffix));
        if (QFile::exists(strPath))
            return QIcon(strPath);
    }
    return QIcon();
}
