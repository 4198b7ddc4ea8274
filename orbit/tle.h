#pragma once

#include "orbit/element_set.h"
#include "orbit/mean_elements.h"

// Initialises a set for propagation from mean elements as read, from element lines
// (readElementLines in orbit/element_lines.h) or an orbit mean-elements message: the values
// converted to the model's units (radians, minutes, Earth radii), then sgp4Init. opsMode: 'a'
// (AFSPC compatible) or 'i' (improved). gravitySelector: see gravityConstants. A failed first
// propagation shows in satrec.error.
void initElementSet(const MeanElements& elements, char opsMode, int gravitySelector,
                    ElementSet& satrec);

// Month, day, hour, minute and seconds of a day of the year with fraction (1.0 = January 1
// 0h). Leap years are the years divisible by 4. A day number that is not finite or beyond a
// billion days gives month 1, day 0, 0:00 and NaN seconds, so that the Julian date is NaN.
void daysToMdhms(int year, double days, int& month, int& day, int& hour, int& minute,
                 double& seconds);

// Julian date of a calendar date and time (valid 1900 March 1 to 2100 February 28).
double julianDay(int year, int month, int day, int hour, int minute, double seconds);
