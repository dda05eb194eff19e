// The Win32 link port where no serial device is needed: what fails to open
// and what a port that is not open answers. The port against a device is
// run end to end under Wine (tests/e2e).
#include <gtest/gtest.h>

#include <chrono>

#include "link/serial_port.h"

namespace zave {
namespace {

TEST(Win32SerialPort, OpenFailuresLeaveThePortClosed) {
    struct Case {
        const char* name;
        OpenFailure failure;
    } cases[] = {
        {"COM199", OpenFailure::NotFound},  // no such port
        {"NUL", OpenFailure::Settings},     // a device, but no serial line
    };
    for (const Case& c : cases) {
        auto port = makeSystemSerialPort();
        EXPECT_FALSE(port->open(c.name)) << c.name;
        EXPECT_EQ(port->lastOpenFailure(), c.failure) << c.name;
        EXPECT_EQ(port->lastOpenDetail().path, std::string("\\\\.\\") + c.name);
        EXPECT_FALSE(port->isOpen()) << c.name;
    }
}

TEST(Win32SerialPort, APortThatIsNotOpenDoesNothing) {
    auto port = makeSystemSerialPort();
    char buffer[8];
    EXPECT_EQ(port->bytesWaiting(), 0u);
    EXPECT_EQ(port->readWaiting(buffer, sizeof buffer), 0u);
    EXPECT_EQ(port->write("80000028\r", 9), 0u);
    EXPECT_EQ(port->waitForInput(std::chrono::steady_clock::now() + std::chrono::seconds(5)), WaitResult::Gone);
    port->close();  // closing twice is harmless
    EXPECT_FALSE(port->isOpen());
}

}  // namespace
}  // namespace zave
