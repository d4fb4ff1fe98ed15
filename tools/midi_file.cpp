// Standard MIDI File notes through libsmf.
#include "tools/midi_file.h"

#include "tools/probe_error.h"

#include <smf.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

namespace norvo::probe {

namespace {

// libsmf reports problems through GLib's log; keep the latest one for our own message
// instead of letting it print.
std::string lastLibraryMessage;

void captureLog(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
  lastLibraryMessage = message ? message : "";
}

struct LogCapture {
  LogCapture() : previous(g_log_set_default_handler(captureLog, nullptr)) {
    lastLibraryMessage.clear();
  }
  ~LogCapture() { g_log_set_default_handler(previous, nullptr); }
  std::string reason(const char* fallback) const {
    return lastLibraryMessage.empty() ? fallback : lastLibraryMessage;
  }
  GLogFunc previous;
};

struct SmfDeleter {
  void operator()(smf_t* smf) const { smf_delete(smf); }
};
using SmfPtr = std::unique_ptr<smf_t, SmfDeleter>;

const TempoChange& tempoBefore(const MidiNoteFile& file, double seconds) {
  static const TempoChange fallback{};
  if (file.tempos.empty()) return fallback;
  auto it = std::upper_bound(file.tempos.begin(), file.tempos.end(), seconds,
                             [](double s, const TempoChange& t) { return s < t.seconds; });
  return it == file.tempos.begin() ? file.tempos.front() : *(it - 1);
}

}  // namespace

MidiNoteFile readMidiNoteFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    throw ProbeError("cannot read MIDI file " + path + ": no such file");
  LogCapture log;
  SmfPtr smf(smf_load(path.c_str()));
  if (!smf)
    throw ProbeError("cannot read MIDI file " + path + ": " +
                     log.reason("not a Standard MIDI File"));
  if (smf->ppqn <= 0)
    throw ProbeError("MIDI file " + path + " uses SMPTE time, which is not supported");

  MidiNoteFile file;
  file.ticksPerQuarter = smf->ppqn;
  for (int i = 0;; ++i) {
    const smf_tempo_t* tempo = smf_get_tempo_by_number(smf.get(), i);
    if (!tempo) break;
    const TempoChange change{tempo->time_pulses, tempo->time_seconds,
                             tempo->microseconds_per_quarter_note};
    // libsmf lists time-signature changes here too; keep only real tempo changes.
    if (!file.tempos.empty() &&
        file.tempos.back().microsecondsPerQuarter == change.microsecondsPerQuarter)
      continue;
    if (!file.tempos.empty() && file.tempos.back().ticks == change.ticks)
      file.tempos.back() = change;
    else
      file.tempos.push_back(change);
  }
  if (file.tempos.empty() || file.tempos.front().ticks != 0)
    file.tempos.insert(file.tempos.begin(), TempoChange{});

  smf_rewind(smf.get());
  while (smf_event_t* event = smf_get_next_event(smf.get())) {
    if (smf_event_is_metadata(event) || event->midi_buffer_length < 1) continue;
    const int status = event->midi_buffer[0] & 0xF0;
    const bool isNote = (status == 0x80 || status == 0x90) && event->midi_buffer_length >= 3;
    if (!isNote) {
      if (status >= 0x80 && status < 0xF0) ++file.ignoredEvents;
      continue;
    }
    MidiNoteEvent note;
    note.seconds = event->time_seconds;
    note.ticks = event->time_pulses;
    note.channel = event->midi_buffer[0] & 0x0F;
    note.note = event->midi_buffer[1] & 0x7F;
    note.velocity = event->midi_buffer[2] & 0x7F;
    note.on = status == 0x90 && note.velocity > 0;
    file.notes.push_back(note);
  }
  return file;
}

void writeMidiNoteFile(const std::string& path, const MidiNoteFile& file) {
  LogCapture log;
  SmfPtr smf(smf_new());
  if (!smf || smf_set_ppqn(smf.get(), file.ticksPerQuarter) != 0)
    throw ProbeError("cannot create MIDI file " + path + ": " + log.reason("libsmf refused"));
  smf_track_t* track = smf_track_new();
  if (!track) throw ProbeError("cannot create MIDI file " + path + ": out of memory");
  smf_add_track(smf.get(), track);

  // libsmf keeps events in the order they are appended only while their ticks never go
  // back (an insertion lands before its equals), so tempo changes and notes go in merged,
  // tempo first at equal ticks.
  std::vector<MidiNoteEvent> notes = file.notes;
  std::stable_sort(notes.begin(), notes.end(), [](const MidiNoteEvent& a, const MidiNoteEvent& b) {
    return a.ticks < b.ticks;
  });
  const auto append = [&](smf_event_t* event, long ticks) {
    if (!event) throw ProbeError("cannot create MIDI file " + path + ": out of memory");
    smf_track_add_event_pulses(track, event, static_cast<int>(ticks));
  };
  long lastTick = 0;
  size_t nextTempo = 0;
  const auto appendTemposUpTo = [&](long ticks) {
    for (; nextTempo < file.tempos.size() && file.tempos[nextTempo].ticks <= ticks; ++nextTempo) {
      const TempoChange& tempo = file.tempos[nextTempo];
      const int us = tempo.microsecondsPerQuarter;
      unsigned char bytes[6] = {0xFF,
                                0x51,
                                0x03,
                                static_cast<unsigned char>((us >> 16) & 0xFF),
                                static_cast<unsigned char>((us >> 8) & 0xFF),
                                static_cast<unsigned char>(us & 0xFF)};
      append(smf_event_new_from_pointer(bytes, sizeof bytes), tempo.ticks);
      lastTick = std::max(lastTick, tempo.ticks);
    }
  };
  for (const MidiNoteEvent& note : notes) {
    appendTemposUpTo(note.ticks);
    const int status = (note.on ? 0x90 : 0x80) | (note.channel & 0x0F);
    append(smf_event_new_from_bytes(status, note.note & 0x7F, note.velocity & 0x7F), note.ticks);
    lastTick = std::max(lastTick, note.ticks);
  }
  appendTemposUpTo(std::numeric_limits<long>::max());
  if (smf_track_add_eot_pulses(track, static_cast<int>(lastTick)) != 0 ||
      smf_save(smf.get(), path.c_str()) != 0)
    throw ProbeError("cannot write MIDI file " + path + ": " + log.reason("libsmf refused"));
}

long secondsToTicks(const MidiNoteFile& file, double seconds) {
  const TempoChange& tempo = tempoBefore(file, seconds);
  const double quarters = (seconds - tempo.seconds) * 1e6 / tempo.microsecondsPerQuarter;
  return tempo.ticks + std::lround(quarters * file.ticksPerQuarter);
}

double tempoAt(const MidiNoteFile& file, double seconds) {
  return 60e6 / tempoBefore(file, seconds).microsecondsPerQuarter;
}

double quartersAt(const MidiNoteFile& file, double seconds) {
  const TempoChange& tempo = tempoBefore(file, seconds);
  return static_cast<double>(tempo.ticks) / file.ticksPerQuarter +
         (seconds - tempo.seconds) * 1e6 / tempo.microsecondsPerQuarter;
}

}  // namespace norvo::probe
