#pragma once

#include "tests/common/scratch_settings_main.h"

#include <QApplication>

// ORBITRAK_SCRATCH_SETTINGS_MAIN for a test that builds windows.
#define ORBITRAK_WINDOW_TEST_MAIN(TestObject)                                                      \
    ORBITRAK_SCRATCH_SETTINGS_MAIN(QApplication, TestObject)
