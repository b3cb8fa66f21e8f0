#pragma once
// QCOMPARE for what must stay as it is: no resend, no second message.

#include <QtTest>

// Watches `actual` for `ms`, then compares it with `expected`; a change ends
// the watch at once and fails, instead of after a fixed wait.
#define QCOMPARE_STEADY(actual, expected, ms)                                            \
  do {                                                                                   \
    const bool changed = QTest::qWaitFor([&] { return !((actual) == (expected)); }, ms); \
    QCOMPARE(actual, expected);                                                          \
    QVERIFY2(!changed, "changed within " #ms " ms");                                     \
  } while (false)
