// Two-thread cases, run under ThreadSanitizer: parameter changes from a state-restoring thread
// against the audio thread's blocks, and engines set up on several threads at once.
#include "engine/kernel_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "support/engine/engine_test_support.h"

namespace norvo {
namespace {

using test::midiOutOf;
using test::noteOff;
using test::noteOn;
using test::runBlock;
using ::testing::ElementsAre;

// Notes of the chord the engine sends for a note-on of 60 in each mode (spread 0).
const std::vector<std::vector<int>> kChordNotes = {{60, 72},     {60, 67},     {60, 64, 67},
                                                   {60, 63, 67}, {60, 65, 67}, {60, 64, 67, 70}};

std::vector<int> playedNotes(KernelEngine& engine) {
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  engine.pushNoteOff(60, 1, 0, 0);
  runBlock(engine, 32);
  std::vector<int> notes;
  for (const MidiOutEvent& e : midiOutOf(engine)) {
    if (e.status == 0x90) notes.push_back(e.data1);
  }
  return notes;
}

// First in the file: the kernel runtime is started by whichever of these set-ups comes first
// (ctest also runs every case in a process of its own). Were it started twice, the instances
// created before the second start would be invalid and their blocks would fail.
TEST(KernelEngineThreads, ConcurrentFirstSetupsStartTheRuntimeOnce) {
  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<KernelEngine>> engines;
  for (int i = 0; i < kThreads; ++i) engines.push_back(std::make_unique<KernelEngine>());
  std::atomic<int> arrived{0};
  std::vector<std::thread> threads;
  std::vector<char> accepted(kThreads, 0);
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      arrived.fetch_add(1);
      while (arrived.load() < kThreads) std::this_thread::yield();
      accepted[i] = engines[i]->setup(48000, 128) ? 1 : 0;
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(accepted[i]);
    EXPECT_EQ(playedNotes(*engines[i]), kChordNotes[0]);
    EXPECT_FALSE(engines[i]->blockFailed());
  }
}

TEST(KernelEngineThreads, ParameterSetOnAnotherThreadReachesTheNextBlock) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  std::atomic<int> requested{-1};  // mode the state thread has just set
  std::atomic<int> checked{-1};    // last mode the audio thread verified
  std::vector<int> failures;

  std::thread audio([&] {
    for (int round = 0; round < 60; ++round) {
      while (requested.load(std::memory_order_acquire) != round) std::this_thread::yield();
      const int mode = round % 6;
      if (playedNotes(engine) != kChordNotes[mode]) failures.push_back(round);
      checked.store(round, std::memory_order_release);
    }
  });
  for (int round = 0; round < 60; ++round) {
    engine.setParamValue(1, round % 6);
    requested.store(round, std::memory_order_release);
    while (checked.load(std::memory_order_acquire) != round) std::this_thread::yield();
  }
  audio.join();
  EXPECT_TRUE(failures.empty()) << "first failing round " << failures.front();
}

TEST(KernelEngineThreads, FreeRunningChangesDuringBlocksSettleOnTheLastValue) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio([&] {
    int pitch = 36;
    while (!stop.load(std::memory_order_acquire)) {
      engine.pushNoteOn(pitch, 0.5, 3, 0, 0);
      engine.pushNoteOff(pitch, 100, 0, 0);
      runBlock(engine, 512);
      pitch = pitch == 96 ? 36 : pitch + 1;
      blocks.fetch_add(1, std::memory_order_relaxed);
    }
  });
  for (int i = 0; i < 3000; ++i) {
    engine.setParamValue(1, i % 6);
    engine.setParamValue(3, (i % 10) / 10.0);
    if (i % 100 == 0) std::this_thread::yield();
  }
  engine.setParamValue(1, 4);
  while (blocks.load(std::memory_order_relaxed) < 20) std::this_thread::yield();
  stop.store(true, std::memory_order_release);
  audio.join();

  EXPECT_EQ(engine.paramValue(1), 4.0);
  EXPECT_EQ(playedNotes(engine), kChordNotes[4]);
}

TEST(KernelEngineThreads, ConcurrentSetupsKeepOtherInstancesPlaying) {
  KernelEngine holder;
  ASSERT_TRUE(holder.setup(48000, 256));
  holder.pushNoteOn(60, 1.0, 0, 0, 0);
  runBlock(holder, 16);
  ASSERT_THAT(midiOutOf(holder), ElementsAre(noteOn(0, 60, 127), noteOn(0, 72, 102)));

  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<KernelEngine>> engines;
  for (int i = 0; i < kThreads; ++i) engines.push_back(std::make_unique<KernelEngine>());
  std::atomic<int> ready{0};
  std::atomic<int> succeeded{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int round = 0; round < 5; ++round) {
        if (engines[i]->setup(44100 + 100 * round, 512)) succeeded.fetch_add(1);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(succeeded.load(), kThreads * 5);

  // The held chord survived every other set-up: its note-off releases both notes.
  holder.pushNoteOff(60, 2, 0, 0);
  runBlock(holder, 16);
  EXPECT_THAT(midiOutOf(holder), ElementsAre(noteOff(2, 60), noteOff(2, 72)));
  for (auto& engine : engines) {
    EXPECT_TRUE(engine->ready());
    for (auto& other : engines) {
      if (other != engine) {
        EXPECT_NE(engine->instanceToken(), other->instanceToken());
      }
    }
  }
}

}  // namespace
}  // namespace norvo
