// The runtime's states and the subsystem interface: start and shutdown order,
// the loop's phases in the order a step reaches them, and saved-game chunks.
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "gamedata/cstream.h"
#include "platform/platform.h"
#include "support/test_runtime.h"
#include "support/world_support.h"
#include "world/function_game.h"
#include "world/game_loop.h"
#include "world/world_state.h"

using namespace kx;
namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- order

std::vector<std::string> g_log;

template <char Name>
struct Named {
    ~Named() { g_log.push_back(std::string("destroy ") + Name); }
};

template <char Name>
const Subsystem kNamed{
    .name = "named",
    .create = [](Runtime& r) {
        r.emplace<Named<Name>>();
        g_log.push_back(std::string("create ") + Name);
    },
    .register_builtins = [](Runtime&) { g_log.push_back(std::string("register ") + Name); },
    .shutdown = [](Runtime&) { g_log.push_back(std::string("shutdown ") + Name); },
};

TEST(Runtime, SubsystemsStartInListOrderAndGoInReverse) {
    g_log.clear();
    {
        const Subsystem* const list[] = {&kNamed<'a'>, &kNamed<'b'>, &kNamed<'c'>};
        Runtime r;
        r.start(list);
        EXPECT_NE(r.find<Named<'b'>>(), nullptr);
        EXPECT_EQ(r.find<Named<'z'>>(), nullptr) << "a state nobody made";
        EXPECT_EQ(&r.get<Named<'a'>>(), r.find<Named<'a'>>());
        r.shutdown();
        r.shutdown();  // once only
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"create a", "create b", "create c", "register a",
                                               "register b", "register c", "shutdown c",
                                               "shutdown b", "shutdown a", "destroy c",
                                               "destroy b", "destroy a"}));
}

TEST(Runtime, DestroyingRunsShutdownWhenNobodyDid) {
    g_log.clear();
    {
        const Subsystem* const list[] = {&kNamed<'a'>};
        Runtime r;
        r.start(list);
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"create a", "register a", "shutdown a",
                                               "destroy a"}));
}

// ---------------------------------------------------------------- phases

// Joins every phase and prints its name, so the console shows the phases
// between the events the game prints.
const char* const kPhaseNames[] = {"GameStart", "RoomEnter",    "SpecialKeys", "InputEvents",
                                   "Motion",    "Boundary",     "Collision",   "AfterEndStep",
                                   "Draw",      "StepEnd",      "Present",     "Messages",
                                   "GameLoaded", "GameEnd"};
static_assert(std::size(kPhaseNames) == static_cast<size_t>(Phase::Count));

template <Phase P>
void print_phase(Runtime& r) {
    r.platform->console()->out_line(kPhaseNames[static_cast<size_t>(P)]);
}
template <size_t... I>
constexpr std::array<PhaseStep, sizeof...(I)> every_phase(std::index_sequence<I...>) {
    return {PhaseStep{static_cast<Phase>(I), print_phase<static_cast<Phase>(I)>}...};
}
constexpr auto kEveryPhase = every_phase(std::make_index_sequence<size_t(Phase::Count)>());
const Subsystem kPhaseRecorder{.name = "phases", .phases = kEveryPhase};

class PhaseTest : public ::testing::Test {
protected:
    test::TestRuntime t{{}, {&kPhaseRecorder}};
    Runtime& r = t.runtime();
};

TEST_F(PhaseTest, AStepRunsThePhasesBetweenItsEventsInOrder) {
    const int32_t o = test::add_object(r, "obj");
    ASSERT_TRUE(test::add_code(r, o, ev::Step, ev::StepBegin, "show_debug_message('begin step')"));
    ASSERT_TRUE(test::add_code(r, o, ev::Step, ev::StepNormal, "show_debug_message('step')"));
    ASSERT_TRUE(test::add_code(r, o, ev::Step, ev::StepEnd, "show_debug_message('end step')"));
    test::add_rooms(r, 1);
    WorldState& w = r.get<WorldState>();
    w.rooms[0]->instances.append(w, make_instance(r, 100001, o, 0, 0));
    start_game(r);
    EXPECT_EQ(t.take_out(), (std::vector<std::string>{"GameStart", "RoomEnter", "Draw",
                                                      "Present"}));
    perform_step(r);
    EXPECT_EQ(t.take_out(),
              (std::vector<std::string>{"SpecialKeys", "begin step", "InputEvents", "step",
                                        "Motion", "Boundary", "Collision", "end step",
                                        "AfterEndStep", "Draw", "StepEnd"}));
    end_game(r);
    EXPECT_EQ(t.take_out(), (std::vector<std::string>{"GameEnd"}));
}

TEST_F(PhaseTest, APendingTransitionEndsTheStepAfterThePhaseThatMadeIt) {
    const int32_t o = test::add_object(r, "obj");
    ASSERT_TRUE(test::add_code(r, o, ev::Step, ev::StepNormal, "game_end()"));
    test::add_rooms(r, 1);
    WorldState& w = r.get<WorldState>();
    w.rooms[0]->instances.append(w, make_instance(r, 100001, o, 0, 0));
    start_game(r);
    t.take_out();
    perform_step(r);
    EXPECT_EQ(t.take_out(), (std::vector<std::string>{"SpecialKeys", "InputEvents"}));
}

// ---------------------------------------------------------------- save chunks

struct Counter {
    int32_t value = 0;
};

void write_counter(Runtime& r, CStream& s) {
    s.write_int(r.get<Counter>().value);
}
std::shared_ptr<void> read_counter(Runtime&, CStream& s) {
    const int32_t v = s.read_int();
    if (v < 0) return nullptr;  // a value this subsystem refuses
    return std::make_shared<int32_t>(v);
}
void apply_counter(Runtime& r, const std::shared_ptr<void>& staged) {
    r.get<Counter>().value = *static_cast<const int32_t*>(staged.get());
}

constexpr SaveChunk kCounterChunks[] = {
    {chunk_tag("CNTR"), write_counter, read_counter, apply_counter}};
const Subsystem kCounter{
    .name = "counter",
    .create = [](Runtime& r) { r.emplace<Counter>(); },
    .save_chunks = kCounterChunks,
};

class ChunkTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              (std::string("kx_chunks_") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        file = (dir / "game.sav").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    // A game in its first room.
    static void play(Runtime& r) {
        test::add_object(r, "obj");
        test::add_rooms(r, 1);
        r.get<WorldState>().game.running = true;
        start_game(r);
    }
    fs::path dir;
    std::string file;
};

TEST_F(ChunkTest, ASubsystemsChunkTravelsWithTheSave) {
    test::TestRuntime t({}, {&kCounter});
    Runtime& r = t.runtime();
    play(r);
    r.get<Counter>().value = 7;
    ASSERT_TRUE(save_game(r, file));
    r.get<Counter>().value = 1;
    ASSERT_TRUE(load_game(r, file));
    EXPECT_EQ(r.get<Counter>().value, 7);
}

TEST_F(ChunkTest, ARefusedOrDamagedChunkRefusesTheWholeLoad) {
    test::TestRuntime t({}, {&kCounter});
    Runtime& r = t.runtime();
    play(r);
    r.get<Counter>().value = 7;
    r.get<WorldState>().game.score = 10;
    ASSERT_TRUE(save_game(r, file));
    std::vector<uint8_t> bytes;
    {
        CStream s;
        ASSERT_TRUE(s.load_from_file(file));
        bytes = s.data();
    }
    r.get<Counter>().value = 3;
    r.get<WorldState>().game.score = 20;
    auto write = [&](std::vector<uint8_t> b) {
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    };
    // The chunk's value last: -1 is refused; cut short, it is damaged.
    std::vector<uint8_t> refused = bytes;
    for (size_t k = refused.size() - 4; k < refused.size(); ++k) refused[k] = 0xFF;
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 2);
    for (const auto& b : {refused, cut}) {
        write(b);
        EXPECT_FALSE(load_game(r, file));
        EXPECT_EQ(r.get<Counter>().value, 3) << "nothing of the game changed";
        EXPECT_EQ(r.get<WorldState>().game.score, 20);
    }
}

TEST_F(ChunkTest, SavesWithoutTheChunkStillLoad) {
    {
        test::TestRuntime plain;
        play(plain.runtime());
        plain.runtime().get<WorldState>().game.score = 5;
        ASSERT_TRUE(save_game(plain.runtime(), file));
    }
    test::TestRuntime t({}, {&kCounter});
    Runtime& r = t.runtime();
    play(r);
    r.get<Counter>().value = 9;
    ASSERT_TRUE(load_game(r, file));
    EXPECT_EQ(r.get<WorldState>().game.score, 5);
    EXPECT_EQ(r.get<Counter>().value, 9) << "no chunk: the subsystem keeps its state";
}

}  // namespace
