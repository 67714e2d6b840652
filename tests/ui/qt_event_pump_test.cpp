#include "ui/qt_event_pump.h"

#include <unistd.h>

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include "ping/ping_error.h"
#include "ping/pinger.h"
#include "support/isolated_network.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

class QtEventPumpTest : public ::testing::Test {
protected:
    void SetUp() override { test::TestApp(); }
};

TEST_F(QtEventPumpTest, WaitIsBoundedAndEndsWhenAnEventArrives) {
    QtEventPump pump;
    QElapsedTimer clock;
    clock.start();
    pump.ProcessEvents(std::chrono::milliseconds(60));
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_LT(clock.elapsed(), 1000);

    bool ran = false;
    QTimer::singleShot(20, [&] { ran = true; });
    clock.restart();
    pump.ProcessEvents(std::chrono::milliseconds(5000));
    EXPECT_TRUE(ran);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(pump.QuitRequested());
}

TEST_F(QtEventPumpTest, TimerTicksRunNestedInsideAWaitingPing) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for raw sockets and network namespaces";
    test::ScopedNetNamespace network;
    test::SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    QtEventPump pump;
    Pinger pinger(&pump);
    pinger.Timeout = std::chrono::seconds(1);
    bool pinging = false;
    int nestedTicks = 0;
    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, [&] { nestedTicks += pinging ? 1 : 0; });
    tick.start();
    pinging = true;
    EXPECT_THROW(pinger.PingHost("127.0.0.1"), PingError);
    pinging = false;
    EXPECT_GE(nestedTicks, 7);
}

TEST_F(QtEventPumpTest, QuitDuringAPingEndsItAndStillEndsTheEventLoop) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for raw sockets and network namespaces";
    test::ScopedNetNamespace network;
    test::SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    QtEventPump pump;
    Pinger pinger(&pump);
    pinger.Timeout = std::chrono::seconds(0);  // only the quit can end it
    int code = 0;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(50, [] { QCoreApplication::quit(); });
        try {
            pinger.PingHost("127.0.0.1");
        } catch (const PingError& error) {
            code = error.Code;
        }
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });  // safety net
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(code, 301);
    EXPECT_EQ(pinger.ResponseTime(), 0);
}

TEST_F(QtEventPumpTest, ClosingTheLastWindowDuringAPingEndsIt) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for raw sockets and network namespaces";
    test::ScopedNetNamespace network;
    test::SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    QtEventPump pump;
    Pinger pinger(&pump);
    pinger.Timeout = std::chrono::seconds(0);
    QWidget window;
    window.show();
    int code = 0;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(50, [&] { window.close(); });
        try {
            pinger.PingHost("127.0.0.1");
        } catch (const PingError& error) {
            code = error.Code;
        }
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(code, 301);
}

}  // namespace
}  // namespace corvasse
