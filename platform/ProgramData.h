#pragma once

#include <QString>

// The folder of the program's own data files (the default character), ending in '/': <prefix>/share/parlune
// beside the bin folder of an installed program, else the program's own folder, where the build tree keeps
// them next to the executable.
QString ProgramDataDirectory();
