#include "catalogue/live_rows.h"

double currentJd = 0.0;
