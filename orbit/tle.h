#pragma once

#include "orbit/element_set.h"
#include "orbit/mean_elements.h"

// Reads one two-line element set and initialises it for propagation.
//
// line1 and line2 are NUL-terminated, modifiable buffers holding TLE lines 1 and 2 (a trailing
// line feed is fine); the implied decimal points and blank fields are fixed up in place, within
// each line's length only. The catalogue number may be five digits or the Alpha-5 form
// ("A0001" = 100001). Fields that a short or malformed line does not reach stay zero; no input
// is rejected.
//
// runType: only the catalogue run 'c' exists here (start -1440, stop +1440, step 10 minutes);
// other run types are treated alike. inputType is not used by that run type. opsMode: 'a'
// (AFSPC compatible) or 'i' (improved). gravitySelector: see gravityConstants.
// Returns the result of sgp4Init (true); a failed first propagation shows in satrec.error.
bool parseTle(char* line1, char* line2, char runType, char inputType, char opsMode,
              int gravitySelector, double& start, double& stop, double& step, ElementSet& satrec);

// Initialises a set from the values of an orbit mean-elements message as they were read, with
// the same conversions as parseTle but without rounding them to the element lines' columns.
// opsMode and gravitySelector as for parseTle.
void initElementSet(const MeanElements& elements, char opsMode, int gravitySelector,
                    ElementSet& satrec);

// Month, day, hour, minute and seconds of a day of the year with fraction (1.0 = January 1
// 0h). Leap years are the years divisible by 4. A day number that is not finite or beyond a
// billion days gives month 1, day 0, 0:00 and NaN seconds, so that the Julian date is NaN.
void daysToMdhms(int year, double days, int& month, int& day, int& hour, int& minute,
                 double& seconds);

// Julian date of a calendar date and time (valid 1900 March 1 to 2100 February 28).
double julianDay(int year, int month, int day, int hour, int minute, double seconds);
