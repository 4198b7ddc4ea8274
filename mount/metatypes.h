#pragma once

#include "astro/log_level.h"
#include "astro/site.h"

#include <QMetaType>

// The plain types that the link's signals carry, declared before any signal uses them (Qt 6's
// moc instantiates their type ids where the signal is declared).
Q_DECLARE_METATYPE(LogLevel)
Q_DECLARE_METATYPE(Site)
