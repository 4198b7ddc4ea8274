#pragma once

#include "astro/log_level.h"

#include <QMetaType>

// For log lines carried by queued signals.
Q_DECLARE_METATYPE(LogLevel)
