// Standard MIDI Files for the end-to-end tests.
#include "support/e2e/midi_test_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace norvo::e2e {

namespace {

void appendVariable(std::vector<uint8_t>& out, long value) {
  uint8_t bytes[5];
  int n = 0;
  bytes[n++] = value & 0x7F;
  while ((value >>= 7) > 0) bytes[n++] = 0x80 | (value & 0x7F);
  while (n > 0) out.push_back(bytes[--n]);
}

void appendBig(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

class Cursor {
 public:
  Cursor(const std::vector<uint8_t>& data, size_t begin, size_t end)
      : data_(data), at_(begin), end_(end) {}
  bool done() const { return at_ >= end_; }
  uint8_t byte() {
    if (at_ >= end_) throw std::runtime_error("MIDI data ends early");
    return data_[at_++];
  }
  uint8_t peek() const {
    if (at_ >= end_) throw std::runtime_error("MIDI data ends early");
    return data_[at_];
  }
  uint32_t big(int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | byte();
    return v;
  }
  long variable() {
    long v = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t b = byte();
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return v;
    }
    throw std::runtime_error("variable-length number too long");
  }
  void skip(size_t n) {
    if (n > end_ - at_) throw std::runtime_error("MIDI data ends early");
    at_ += n;
  }
  size_t position() const { return at_; }

 private:
  const std::vector<uint8_t>& data_;
  size_t at_;
  size_t end_;
};

void readTrack(Cursor track, std::vector<std::pair<long, MidiNote>>& out) {
  long tick = 0;
  int status = 0;
  while (!track.done()) {
    tick += track.variable();
    if (track.peek() & 0x80) status = track.byte();
    if (status == 0xFF) {
      track.byte();  // meta type
      track.skip(static_cast<size_t>(track.variable()));
      status = 0;
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      track.skip(static_cast<size_t>(track.variable()));
      status = 0;
      continue;
    }
    if (status < 0x80) throw std::runtime_error("running status without a status byte");
    const int kind = status & 0xF0;
    const int data1 = track.byte();
    const int data2 = (kind == 0xC0 || kind == 0xD0) ? 0 : track.byte();
    if (kind == 0x80 || kind == 0x90) {
      MidiNote note{tick, status & 0x0F, data1, data2, kind == 0x90 && data2 > 0};
      out.push_back({tick, note});
    }
  }
}

}  // namespace

MidiTestFile& MidiTestFile::note(long tick, int note, int velocity, bool on, int channel) {
  const uint8_t status = static_cast<uint8_t>((on ? 0x90 : 0x80) | (channel & 0x0F));
  messages.push_back({tick, {status, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)}});
  return *this;
}

MidiTestFile& MidiTestFile::noteOnOff(long tick, long length, int n, int velocity) {
  note(tick, n, velocity, true);
  return note(tick + length, n, 0, false);
}

static void appendTrack(std::vector<uint8_t>& data,
                        std::vector<std::pair<long, std::vector<uint8_t>>> events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<uint8_t> track;
  long now = 0;
  for (const auto& [tick, bytes] : events) {
    appendVariable(track, tick - now);
    track.insert(track.end(), bytes.begin(), bytes.end());
    now = tick;
  }
  appendVariable(track, 0);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});
  data.insert(data.end(), {'M', 'T', 'r', 'k'});
  appendBig(data, static_cast<uint32_t>(track.size()), 4);
  data.insert(data.end(), track.begin(), track.end());
}

void writeMidiTestFile(const std::string& path, const MidiTestFile& file) {
  std::vector<std::pair<long, std::vector<uint8_t>>> tempoEvents;
  for (const TempoPoint& t : file.tempos) {
    std::vector<uint8_t> meta{0xFF, 0x51, 0x03};
    appendBig(meta, static_cast<uint32_t>(t.microsecondsPerQuarter), 3);
    tempoEvents.push_back({t.tick, meta});
  }
  std::vector<uint8_t> data{'M', 'T', 'h', 'd'};
  appendBig(data, 6, 4);
  appendBig(data, file.tempoTrack ? 1 : 0, 2);
  appendBig(data, file.tempoTrack ? 2 : 1, 2);
  appendBig(data, static_cast<uint32_t>(file.ticksPerQuarter), 2);
  if (file.tempoTrack) {
    appendTrack(data, tempoEvents);
    appendTrack(data, file.messages);
  } else {
    tempoEvents.insert(tempoEvents.end(), file.messages.begin(), file.messages.end());
    appendTrack(data, tempoEvents);
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<MidiNote> readMidiNotes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  Cursor file(data, 0, data.size());
  if (file.big(4) != 0x4D546864 || file.big(4) != 6)
    throw std::runtime_error(path + " has no MIDI header");
  file.big(2);  // format
  const uint32_t tracks = file.big(2);
  file.big(2);  // division
  std::vector<std::pair<long, MidiNote>> timed;
  for (uint32_t i = 0; i < tracks; ++i) {
    const uint32_t id = file.big(4);
    const uint32_t length = file.big(4);
    if (id == 0x4D54726B) readTrack(Cursor(data, file.position(), file.position() + length), timed);
    file.skip(length);
  }
  std::stable_sort(timed.begin(), timed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<MidiNote> notes;
  for (const auto& t : timed) notes.push_back(t.second);
  return notes;
}

double secondsAt(const MidiTestFile& file, long tick) {
  double seconds = 0;
  long at = 0;
  int tempo = 500000;
  for (const TempoPoint& t : file.tempos) {
    if (t.tick > tick) break;
    seconds += static_cast<double>(t.tick - at) * tempo / 1e6 / file.ticksPerQuarter;
    at = t.tick;
    tempo = t.microsecondsPerQuarter;
  }
  return seconds + static_cast<double>(tick - at) * tempo / 1e6 / file.ticksPerQuarter;
}

}  // namespace norvo::e2e
