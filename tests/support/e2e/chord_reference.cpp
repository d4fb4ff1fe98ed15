// The chord rules, for expectations.
#include "support/e2e/chord_reference.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace norvo::e2e {

namespace {

// Semitones above the root for modes 0..5: octave, fifth, major, minor, sus4, dominant 7th.
const std::vector<int> kIntervals[6] = {
    {0, 12}, {0, 7}, {0, 4, 7}, {0, 3, 7}, {0, 5, 7}, {0, 4, 7, 10},
};

int roundHalfUp(double v) { return static_cast<int>(std::floor(v + 0.5)); }

}  // namespace

void ChordReference::set(const std::string& path, double plain) {
  if (path == "chord.on")
    on_ = plain >= 0.5;
  else if (path == "chord.mode")
    mode_ = std::clamp(roundHalfUp(plain), 0, 5);
  else if (path == "chord.spread")
    spread_ = std::clamp(roundHalfUp(plain), -2, 2);
  else if (path == "chord.velocity")
    velocityScale_ = std::clamp(plain, 0.0, 1.0);
  else
    throw std::invalid_argument("unknown parameter " + path);
  if (!on_)
    for (auto& notes : sounding_) notes.clear();
}

std::vector<MidiNote> ChordReference::play(const MidiNote& input) {
  std::vector<MidiNote> out;
  for (const MidiNote& note : generate(input)) {
    int& holders = holders_[static_cast<size_t>(note.note)];
    if (note.on) {
      if (++holders == 1) out.push_back(note);
    } else if (holders > 0 && --holders == 0) {
      out.push_back(note);
    }
  }
  return out;
}

std::vector<MidiNote> ChordReference::generate(const MidiNote& input) {
  std::vector<MidiNote> out;
  bool& held = rootHeld_[static_cast<size_t>(input.note)];
  if (input.on && held) out = generate({input.tick, input.channel, input.note, 0, false});
  held = input.on;
  // The effect always sends on channel 1 (index 0).
  const auto send = [&](int note, int velocity, bool on) {
    out.push_back({input.tick, 0, note, velocity, on});
  };
  if (!on_) {
    send(input.note, input.on ? input.velocity : 0, input.on);
    return out;
  }
  std::vector<int>& ledger = sounding_[static_cast<size_t>(input.note)];
  if (!input.on) {
    for (int note : ledger) send(note, 0, false);
    ledger.clear();
    return out;
  }
  // The root keeps its velocity; added notes get velocity * scale, at least 1, at most 127.
  const double v = static_cast<double>(static_cast<float>(input.velocity / 127.0f));
  const int added = roundHalfUp(std::clamp(v * 127.0 * velocityScale_, 1.0, 127.0));
  std::vector<int> sent;
  const std::vector<int>& intervals = kIntervals[mode_];
  for (size_t i = 0; i < intervals.size(); ++i) {
    const int note = input.note + intervals[i] + (i > 0 ? spread_ * 12 : 0);
    if (note < 0 || note > 127) continue;
    send(note, i == 0 ? input.velocity : added, true);
    sent.push_back(note);
  }
  if (!sent.empty()) ledger = sent;
  return out;
}

std::vector<MidiNote> ChordReference::playAll(const std::vector<MidiNote>& inputs) {
  std::vector<MidiNote> out;
  for (const MidiNote& input : inputs) {
    const std::vector<MidiNote> chord = play(input);
    out.insert(out.end(), chord.begin(), chord.end());
  }
  return out;
}

std::string probePlayLine(ChordReference& reference, int note) {
  std::string line = R"({"probe":"notes","events":[)";
  for (const bool on : {true, false}) {
    for (const MidiNote& n : reference.play({0, 0, note, on ? 100 : 0, on})) {
      line += std::string(line.back() == '[' ? "" : ",") + R"({"on":)" + (on ? "true" : "false") +
              R"(,"pitch":)" + std::to_string(n.note) + R"(,"velocity":)" +
              std::to_string(n.velocity) + R"(,"frame":)" + (on ? "0" : "256") + "}";
    }
  }
  return line + "]}";
}

}  // namespace norvo::e2e
