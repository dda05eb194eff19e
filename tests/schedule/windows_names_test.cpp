// Which paths name a Windows device rather than a file: refused by name, so
// that opening or saving never reaches a serial port, a printer or a pipe.
#include <gtest/gtest.h>

#include <string>

#include "schedule/document_file.h"

namespace zave {
namespace {

TEST(WindowsDeviceNames, DevicesAndPipesAreKnownByName) {
    const char* devices[] = {
        "CON", "con", "NUL", "nul.ptm", "AUX", "PRN", "COM1", "com1.ptm", "Com9.txt.ptm", "LPT1", "lpt3.ptm",
        "COM0", "CONIN$", "conout$", "COM\xC2\xB9", "LPT\xC2\xB3.ptm",
        "C:\\plans\\com1.ptm", "C:/plans/aux.ptm", "D:nul", "plans\\CON .ptm", "NUL:", "nul.ptm:stream",
        "\\\\.\\COM1", "\\\\.\\com12", "//./COM1", "\\\\?\\COM1", "\\\\.\\pipe\\zave", "\\\\?\\pipe\\zave",
        "\\??\\COM1", "\\\\.\\PhysicalDrive0", "\\\\?\\GLOBALROOT\\Device\\Null",
        "\\\\server\\pipe\\zave", "\\\\server\\PIPE", "\\\\server\\mailslot\\x",
        "\\\\?\\C:\\plans\\con.ptm", "\\\\?\\UNC\\server\\share\\nul.ptm",
    };
    for (const char* p : devices) EXPECT_TRUE(file_layer::namesWindowsDevice(p)) << p;
}

TEST(WindowsDeviceNames, FilesAreNotDevices) {
    const char* files[] = {
        "plan.ptm", "C:\\plans\\plan.ptm", "console.ptm", "nullable.ptm", "COM10.ptm", "com1x.ptm", "LPT.ptm",
        "auxiliary", "C:\\con\\plan.ptm", "x.con", "com", "COMA.ptm", "\\\\?\\C:\\plans\\plan.ptm",
        "\\\\.\\C:\\plans\\plan.ptm", "\\\\?\\UNC\\server\\share\\plan.ptm", "\\\\server\\share\\plan.ptm",
        "\\\\server\\pipes\\plan.ptm", "/home/operator/plan.ptm", "неделя.ptm", "",
    };
    for (const char* p : files) EXPECT_FALSE(file_layer::namesWindowsDevice(p)) << p;
}

}  // namespace
}  // namespace zave
