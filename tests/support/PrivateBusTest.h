#pragma once

#include "support/DbusMockFixture.h"

#include <QDBusConnection>
#include <gtest/gtest.h>
#include <memory>

// A test suite with a private D-Bus bus of its own, started once for the suite, and a connection
// to it named Suite::BusName. When the bus did not start, each test fails with the reason.
template <class Suite>
class PrivateBusTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_mock = std::make_unique<DbusMockFixture>();
        if (!s_mock->start(s_startError))
            return;
        s_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(s_mock->address(), Suite::BusName));
    }
    static void TearDownTestSuite()
    {
        s_bus.reset();
        QDBusConnection::disconnectFromBus(Suite::BusName);
        s_mock.reset();
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_startError.isEmpty()) << qPrintable(s_startError);
        ASSERT_TRUE(s_bus->isConnected()) << "cannot connect to the private bus";
    }

    static inline std::unique_ptr<DbusMockFixture> s_mock;
    static inline std::unique_ptr<QDBusConnection> s_bus;
    static inline QString s_startError;
};
