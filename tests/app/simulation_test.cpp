// The simulation's rule without a window: which slot's volume is simulated,
// the level sent and the other arguments of the command.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/simulation.h"

namespace {

struct Tick {
    std::optional<int> focus;  // the slot whose volume field has the focus
    std::string text;          // that field's text
    int level;                 // expected first argument of this tick
};

struct SimulationCase {
    const char* name;
    std::vector<Tick> ticks;
};

void PrintTo(const SimulationCase& c, std::ostream* os) { *os << c.name; }

class SimulationRuleTest : public ::testing::TestWithParam<SimulationCase> {};

TEST_P(SimulationRuleTest, LevelFollowsTheVolumeFieldBeingEdited) {
    Simulation simulation;
    int tick = 0;
    for (const Tick& t : GetParam().ticks) {
        simulation.volumeFocusChanged(t.focus);
        EXPECT_EQ(simulation.editedSlot(), t.focus) << "tick " << tick;
        EXPECT_EQ(simulation.nextArguments({false, 0, t.text})[0], t.level) << "tick " << tick;
        EXPECT_EQ(simulation.level(), t.level) << "tick " << tick;
        ++tick;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulationRuleTest,
    // The level of a text is VolumeTest.SimulationLevelFromFieldText's table;
    // these rows are about which field is read and when.
    ::testing::Values(SimulationCase{"NoFieldEverFocusedSendsZero", {{std::nullopt, "50", 0}, {std::nullopt, "", 0}}},
                      SimulationCase{"FocusedSlotThreeAtFifty", {{3, "50", 204}}},
                      SimulationCase{"AnotherSlotsFieldSwitchesTheLevel", {{1, "25", 178}, {7, "94", 249}}},
                      SimulationCase{"FocusLeavingKeepsTheLastLevel", {{5, "75", 229}, {std::nullopt, "0", 229}}},
                      SimulationCase{"EveryTickReadsTheFieldAgain", {{10, "0", 5}, {10, "50", 204}}}),
    [](const ::testing::TestParamInfo<SimulationCase>& info) { return std::string(info.param.name); });

TEST(SimulationTest, ArgumentsCarryTheSoundSettingsAndNineZeros) {
    Simulation simulation;
    simulation.volumeFocusChanged(3);
    struct Row {
        bool soundDisabled;
        int typeIndex;
        int64_t soundOff;
        int64_t signal;
    };
    for (const Row& r : {Row{false, 0, 0, 1}, Row{true, 1, 1, 2}, Row{false, 2, 0, 3}, Row{true, -1, 1, 0}}) {
        EXPECT_EQ(simulation.nextArguments({r.soundDisabled, r.typeIndex, "50"}),
                  (zave::CommandParams{204, r.soundOff, r.signal, 0, 0, 0, 0, 0, 0, 0, 0, 0}))
            << r.typeIndex;
    }
}

}  // namespace
