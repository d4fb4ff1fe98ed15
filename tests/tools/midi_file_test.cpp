// The probe's MIDI files: notes and tempo map written and read back, tick/second conversion.
#include "tools/midi_file.h"
#include "tools/probe_error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace norvo::probe {
namespace {

std::string tempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("norvo-tools-") + name)).string();
}

MidiNoteFile tempoChangingFile() {
  MidiNoteFile file;
  file.ticksPerQuarter = 96;
  file.tempos = {{0, 0, 500000}, {192, 1.0, 1000000}};  // 120, then 60 per minute from tick 192
  return file;
}

TEST(MidiFile, ConvertsSecondsToTicksThroughTheTempoMap) {
  const MidiNoteFile file = tempoChangingFile();
  EXPECT_EQ(secondsToTicks(file, 0.5), 96);
  EXPECT_EQ(secondsToTicks(file, 1.0), 192);
  EXPECT_EQ(secondsToTicks(file, 2.0), 288);
  EXPECT_EQ(tempoAt(file, 0.9), 120);
  EXPECT_EQ(tempoAt(file, 1.5), 60);
  EXPECT_DOUBLE_EQ(quartersAt(file, 3.0), 4.0);
}

TEST(MidiFile, WritesNotesInOrderAndReadsThemBackWithTimes) {
  MidiNoteFile file = tempoChangingFile();
  // Same-tick notes after a later tempo change must keep their order.
  file.notes = {{0, 0, 0, 60, 100, true},  {0, 0, 0, 64, 80, true},   {0, 0, 0, 67, 80, true},
                {0, 192, 0, 60, 0, false}, {0, 192, 0, 64, 0, false}, {0, 288, 3, 67, 5, false}};
  const std::string path = tempPath("roundtrip.mid");
  writeMidiNoteFile(path, file);
  const MidiNoteFile back = readMidiNoteFile(path);
  std::remove(path.c_str());
  EXPECT_EQ(back.ticksPerQuarter, 96);
  ASSERT_EQ(back.tempos.size(), 2u);
  EXPECT_EQ(back.tempos[1].ticks, 192);
  EXPECT_EQ(back.tempos[1].microsecondsPerQuarter, 1000000);
  ASSERT_EQ(back.notes.size(), file.notes.size());
  const double seconds[] = {0, 0, 0, 1.0, 1.0, 2.0};
  for (size_t i = 0; i < file.notes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.notes[i].ticks, file.notes[i].ticks);
    EXPECT_EQ(back.notes[i].note, file.notes[i].note);
    EXPECT_EQ(back.notes[i].velocity, file.notes[i].velocity);
    EXPECT_EQ(back.notes[i].channel, file.notes[i].channel);
    EXPECT_EQ(back.notes[i].on, file.notes[i].on);
    EXPECT_NEAR(back.notes[i].seconds, seconds[i], 1e-9);
  }
}

TEST(MidiFile, MissingOrBrokenFilesAreErrors) {
  EXPECT_THROW(readMidiNoteFile(tempPath("does-not-exist.mid")), ProbeError);
  const std::string path = tempPath("broken.mid");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("MThd\0\0", f);
  std::fclose(f);
  EXPECT_THROW(readMidiNoteFile(path), ProbeError);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace norvo::probe
