// History lines: what a write, a verify and a clock change leave behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "schedule/history_log.h"

namespace zave {
namespace {

HistoryEntry writeEntry() {
    ScheduleDocument before, after;
    after.slot(2, 3) = TimeSlot{1, 8, 15, 50};
    before.slot(2, 3) = TimeSlot{1, 8, 0, 50};
    after.slot(2, 3) = TimeSlot{1, 8, 15, 50};
    after.soundType = 2;
    HistoryEntry e;
    e.time = "2026-12-09T00:05:12";
    e.command = "apply";
    e.device = "Корпус А";
    e.port = "COM3";
    e.event = HistoryEvent::Write;
    e.ok = true;
    e.date = "2026-12-09";
    e.before = before;
    e.after = after;
    e.differences = compareDocuments(before, after);
    return e;
}

TEST(HistoryLines, WriteCarriesEverySlotChangeAndSetting) {
    const std::string line = historyLine(writeEntry());
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const nlohmann::json j = nlohmann::json::parse(line);
    EXPECT_EQ(j["format"], 1);
    EXPECT_EQ(j["time"], "2026-12-09T00:05:12");
    EXPECT_EQ(j["device"], "Корпус А");
    EXPECT_EQ(j["port"], "COM3");
    EXPECT_EQ(j["event"], "write");
    EXPECT_EQ(j["ok"], true);
    EXPECT_EQ(j["date"], "2026-12-09");
    ASSERT_EQ(j["changes"].size(), 2u);
    EXPECT_EQ(j["changes"][0]["day"], 2);
    EXPECT_EQ(j["changes"][0]["slot"], 3);
    EXPECT_EQ(j["changes"][0]["from"]["minute"], 0);
    EXPECT_EQ(j["changes"][0]["to"]["minute"], 15);
    EXPECT_EQ(j["changes"][1]["setting"], "soundType");
    EXPECT_EQ(j["changes"][1]["from"], 1);
    EXPECT_EQ(j["changes"][1]["to"], 2);
    EXPECT_FALSE(j.contains("drift"));
}

TEST(HistoryLines, ClockAndFailureLines) {
    struct Row { HistoryEvent event; bool ok; std::optional<int64_t> drift; std::string detail; const char* name; };
    const Row rows[] = {
        {HistoryEvent::Clock, true, 3600, "", "clock"},
        {HistoryEvent::Clock, false, -75, "Команда не выполнена", "clock"},
        {HistoryEvent::Verify, false, std::nullopt, "различий: 4", "verify"},
    };
    for (const Row& r : rows) {
        HistoryEntry e;
        e.time = "2026-10-25T03:05:00";
        e.command = "sync-clock";
        e.port = "COM4";
        e.event = r.event;
        e.ok = r.ok;
        e.drift = r.drift;
        e.detail = r.detail;
        const nlohmann::json j = nlohmann::json::parse(historyLine(e));
        EXPECT_EQ(j["event"], r.name);
        EXPECT_EQ(j["ok"], r.ok);
        EXPECT_EQ(j.contains("drift"), r.drift.has_value());
        if (r.drift) {
            EXPECT_EQ(j["drift"], *r.drift);
        }
        EXPECT_EQ(j.value("detail", ""), r.detail);
        EXPECT_FALSE(j.contains("changes"));
    }
}

TEST(HistoryLines, ReadBackForShowing) {
    HistoryEntry clock;
    clock.time = "2026-12-09T00:05:13";
    clock.command = "apply";
    clock.device = "Корпус А";
    clock.event = HistoryEvent::Clock;
    clock.ok = true;
    clock.drift = -90;
    const std::string text = historyLine(writeEntry()) + "\n" + "not json\n" + "\n" + "{\"time\": 5}\n" +
                             historyLine(clock) + "\r\n";
    const HistoryRead read = parseHistory(text);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.errors, (std::vector<std::string>{"строка 2: не запись истории", "строка 4: не запись истории"}));
    EXPECT_EQ(read.records[0].changes,
              (std::vector<std::string>{"Вторник, слот 3: 08:00 вкл. 50% -> 08:15 вкл. 50%", "soundType: 1 -> 2"}));
    EXPECT_EQ(read.records[1].event, "clock");
    EXPECT_EQ(read.records[1].drift, -90);
    EXPECT_EQ(read.records[1].json.back(), '}');
}

TEST(HistoryLines, AppendKeepsEarlierLines) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zave-history-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "plan.history.jsonl").string();
    EXPECT_TRUE(appendHistoryLine(path, "{\"a\":1}"));
    EXPECT_TRUE(appendHistoryLine(path, "{\"b\":2}"));
    {
        std::ifstream in(path, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, "{\"a\":1}\n{\"b\":2}\n");
    }
    EXPECT_FALSE(appendHistoryLine((dir / "no-such-folder" / "x.jsonl").string(), "{}"));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zave
