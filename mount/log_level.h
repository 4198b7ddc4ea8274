#pragma once

#include <QMetaType>

// Severity of an event-log line; it only selects the colour.
enum class LogLevel { Info = 0, Success = 1, Warning = 2, Error = 3 };
Q_DECLARE_METATYPE(LogLevel)
