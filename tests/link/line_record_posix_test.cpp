// The mark beside a line: one per device, always inside its own folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/line_record.h"
#include "support/pty_pair.h"

namespace zave {
namespace {

namespace fs = std::filesystem;

TEST(LineRecord, AMarkStaysInItsFolderWhateverTheNameAndIsSharedByNamesOfOneDevice) {
    testing::TempRuntimeDir dir;
    const std::string device = dir.root() + "/device";
    std::ofstream(device) << "";
    dir.link("COM7", device);
    const struct {
        const char* what;
        std::string name;
    } names[] = {{"a device path", device}, {"a climbing path", "../../x"}, {"a dot", "."}, {"a COM name", "COM9"}};
    for (const auto& n : names) {
        SCOPED_TRACE(n.what);
        EXPECT_FALSE(LineRecord::leftInUse(n.name));
        LineRecord::markInUse(n.name);
        EXPECT_TRUE(LineRecord::leftInUse(n.name));
        LineRecord::clear(n.name);
        EXPECT_FALSE(LineRecord::leftInUse(n.name));
    }
    // The device itself was never written to, and nothing was made outside the folder.
    EXPECT_EQ(fs::file_size(device), 0u);
    EXPECT_FALSE(fs::exists(dir.root() + "/x"));
    // COM7 is a link to the device: both names find the same mark.
    LineRecord::markInUse("COM7");
    EXPECT_TRUE(LineRecord::leftInUse(device));
    LineRecord::clear(device);
    EXPECT_FALSE(LineRecord::leftInUse("COM7"));
}

}  // namespace
}  // namespace zave
