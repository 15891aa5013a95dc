// Installing the translated technical manual into TechnicalManual\package.nw
// through the bundled archiver, and putting the English archive back.
#pragma once

#include <ostream>

// Raises errortype 1, 3, 4, 5 or 6; returns when the archiver logged nothing.
void installmanual(std::ostream& out);

// Raises errortype 6 or 8.
void restoremanual();
