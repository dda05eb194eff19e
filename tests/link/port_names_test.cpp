#include <gtest/gtest.h>

#include "link/port_names.h"

namespace zave {
namespace {

TEST(PortSelectorNames, OffersCom1ToCom200InOrder) {
    const std::vector<std::string> names = portSelectorNames();
    ASSERT_EQ(names.size(), 200u);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], "COM" + std::to_string(i + 1));
}

}  // namespace
}  // namespace zave
