#pragma once
// Install tests run every case twice: with the install holding all its slots, and letting go of
// all but a few once the journal holds them, as an install of many thousand files does.
#include "install/InstallTransaction.h"

#include <QTest>

namespace slotmodes {

// For initTestCase_data().
inline void addRows()
{
    QTest::addColumn<int>("slotsHeld");
    QTest::newRow("all held") << 0;
    QTest::newRow("let go") << 3;
}

// For init().
inline void use()
{
    QFETCH_GLOBAL(int, slotsHeld);
    install::Transaction::liveSlotsForTesting(slotsHeld);
}

} // namespace slotmodes
