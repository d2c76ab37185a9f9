#pragma once
// The application icon (resource 129 of the window): drawn at the sizes a window manager asks
// for (title bar, task bar, minimised window), so no image file has to travel with the program.
#include <QIcon>

namespace lumo::tool {

QIcon LumoAppIcon();

}  // namespace lumo::tool
