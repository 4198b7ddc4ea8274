#pragma once

// The instant the live table is computed for, as a working Julian date. Set at start-up, on
// every refresh tick and after a catalogue reload; the pass request sends it to the mount.
extern double currentJd;
