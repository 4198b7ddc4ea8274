#pragma once

// How much a message for the person at the telescope matters; the event log colours it by this.
// Every library that reports to the log sits on astro, so the one scale lives here.
enum class LogLevel { Info = 0, Success = 1, Warning = 2, Error = 3 };
