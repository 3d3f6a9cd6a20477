// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <QTest>
#include <functional>

namespace volnar::testing {

// How long a test waits for the event loop to bring something about.
constexpr int kWaitMs = 20000;

// Runs the event loop until done() holds or ms have passed; whether it holds.
inline bool WaitFor(const std::function<bool()>& done, int ms = kWaitMs) {
    return QTest::qWaitFor(done, ms);
}

// The child of parent with the object name, failing the test when there is none.
template <typename T>
T* FindChild(const QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

}  // namespace volnar::testing
