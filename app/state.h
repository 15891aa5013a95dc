// Process-wide state of one run.
#pragma once

// Developer mode: set once by the run before the menu screen, read by the
// menu screen, the manual install and the integrity gate.
extern bool testmode;
