#pragma once

#include <QFont>

// Forms are laid out at 120 pixels per inch and scaled to the screen.
double FormScale();
// The forms' font ("MS Sans Serif", 13 pixels at 120 ppi) at a scale.
QFont FormFont(double scale);
