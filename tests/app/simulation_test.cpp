// The simulation's rule without a window: which slot's volume is simulated,
// the level sent and the other arguments of the command.
#include "app/simulation.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct Step {
    std::optional<int> focus;  // the slot whose volume field has the focus
    int level;                 // expected first argument after this tick
};

struct SimulationCase {
    const char* name;
    std::vector<std::pair<int, std::string>> texts;  // slot, text of its volume field
    std::vector<Step> ticks;
};

void PrintTo(const SimulationCase& c, std::ostream* os) { *os << c.name; }

class SimulationRuleTest : public ::testing::TestWithParam<SimulationCase> {};

TEST_P(SimulationRuleTest, LevelFollowsTheVolumeFieldBeingEdited) {
    Simulation simulation;
    for (const auto& [slot, text] : GetParam().texts) simulation.volumeTextChanged(slot, text);
    int tick = 0;
    for (const Step& step : GetParam().ticks) {
        simulation.volumeFocusChanged(step.focus);
        EXPECT_EQ(simulation.nextArguments()[0], step.level) << "tick " << tick;
        EXPECT_EQ(simulation.level(), step.level) << "tick " << tick;
        ++tick;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulationRuleTest,
    ::testing::Values(
        SimulationCase{"NoFieldEverFocusedSendsZero", {{3, "50"}}, {{std::nullopt, 0}, {std::nullopt, 0}}},
        SimulationCase{"FocusedSlotThreeAtFifty", {{3, "50"}, {4, "75"}}, {{3, 204}}},
        SimulationCase{"FocusedSlotTwelve", {{12, "1"}}, {{12, 154}}},
        SimulationCase{"FocusOnAnotherSlotSwitchesLevel", {{1, "25"}, {7, "94"}}, {{1, 178}, {7, 249}}},
        SimulationCase{"FocusLeavingKeepsTheLastLevel", {{5, "75"}}, {{5, 229}, {std::nullopt, 229}}},
        SimulationCase{"EmptyFieldReadsAsZeroGivingFive", {}, {{2, 5}}},
        SimulationCase{"NotANumberGivesFive", {{6, "abc"}}, {{6, 5}}},
        SimulationCase{"ClampedAtTheTop", {{8, "100"}}, {{8, 250}}},
        SimulationCase{"NegativeVolume", {{9, "-100"}}, {{9, 51}}},
        SimulationCase{"OnlyTheLastTextCounts", {{10, "0"}, {10, "50"}}, {{10, 204}}}),
    [](const ::testing::TestParamInfo<SimulationCase>& info) { return std::string(info.param.name); });

TEST(SimulationTest, ArgumentsCarryTheSoundSettingsAndNineZeros) {
    Simulation simulation;
    simulation.volumeTextChanged(3, "50");
    simulation.volumeFocusChanged(3);
    struct Row {
        bool soundDisabled;
        int typeIndex;
        int64_t soundOff;
        int64_t signal;
    };
    for (const Row& r : {Row{false, 0, 0, 1}, Row{true, 1, 1, 2}, Row{false, 2, 0, 3}, Row{true, -1, 1, 0}}) {
        simulation.setSoundDisabled(r.soundDisabled);
        simulation.setSoundTypeIndex(r.typeIndex);
        EXPECT_EQ(simulation.nextArguments(),
                  (zave::CommandParams{204, r.soundOff, r.signal, 0, 0, 0, 0, 0, 0, 0, 0, 0}))
            << r.typeIndex;
    }
}

TEST(SimulationTest, SentOnlyWhileTheLineIsOpenAndTheBoxTicked) {
    Simulation simulation;
    EXPECT_FALSE(simulation.due(true));
    simulation.setEnabled(true);
    EXPECT_TRUE(simulation.due(true));
    EXPECT_FALSE(simulation.due(false));
    simulation.setEnabled(false);
    EXPECT_FALSE(simulation.due(true));
}

}  // namespace
