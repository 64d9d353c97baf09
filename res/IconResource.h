// Icons of the program by resource id (res/icons/<id>.svg or .png).
#pragma once

#include <QIcon>

// The icon, or a null icon when there is no resource with that id.
QIcon LoadIconResource(int nId);
