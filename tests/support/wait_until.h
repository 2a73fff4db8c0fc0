#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Runs the event loop until `condition` holds, and fails the GoogleTest test when it does not
// within `timeoutMs`. Qt Test's QTRY_ macros must not be used in GoogleTest tests: outside
// QTest::qExec a failed QTRY_ only returns from the test function, and the test passes.
#define WAIT_UNTIL(condition, timeoutMs)                                                           \
    ASSERT_TRUE(QTest::qWaitFor([&]() -> bool { return (condition); }, (timeoutMs)))               \
        << "timed out after " << (timeoutMs) << " ms waiting for: " #condition
