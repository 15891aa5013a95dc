// The start screen: the banner with the credits and the menu, or the notice
// of developer mode.
#pragma once

#include <ostream>

constexpr char versiontext[] = "V1.2.1Beta3";
constexpr char16_t versiontext16[] = u"V1.2.1Beta3";

// Prints the screen for the current mode; raises errortype code 1 when the
// banner payload cannot be had, in either mode.
void showmenu(std::ostream& out);
