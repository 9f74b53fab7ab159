#include "synth/engine.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "synth/effects.h"
#include "synth/filter.h"
#include "synth/instrument.h"

namespace synth {

namespace {

constexpr int kBlock = 64;

// Reads an automation lane at increasing times.
class LaneReader {
 public:
  LaneReader(const AutomationLane* lane, float initial) : lane_(lane), value_(initial) {}
  float at(int64_t sample) {
    if (!lane_) return value_;
    while (next_ < lane_->ramps.size() && lane_->ramps[next_].start <= sample) ++next_;
    if (next_ == 0) return value_;
    const Ramp& r = lane_->ramps[next_ - 1];
    if (sample >= r.end || r.end <= r.start) return r.to;
    const float t = static_cast<float>(sample - r.start) / static_cast<float>(r.end - r.start);
    return r.from + (r.to - r.from) * t;
  }

 private:
  const AutomationLane* lane_;
  float value_;
  size_t next_ = 0;
};

const AutomationLane* findLane(const Schedule& s, int track, int param) {
  for (const AutomationLane& l : s.lanes)
    if (l.track == track && l.param == param) return &l;
  return nullptr;
}

struct TrackState {
  std::unique_ptr<Instrument> instrument;
  LaneReader gain, cutoff, rev, dly;
  float level, panL, panR, duck;
  bool highPass;
  float clip;    // linear soft-clip ceiling, 0 for none
  Svf hpL, hpR;  // clears the low end of channels that do not need it
  float bufL[kBlock], bufR[kBlock];
};

}  // namespace

std::vector<float> renderSong(const Song& song, const Schedule& schedule, int64_t maxFrames,
                              RenderStats* stats) {
  const float fs = static_cast<float>(song.sampleRate);
  const int64_t frames = maxFrames >= 0 ? std::min(maxFrames, schedule.totalSamples) : schedule.totalSamples;
  std::vector<float> out(static_cast<size_t>(frames) * 2, 0.0f);

  std::vector<TrackState> tracks;
  tracks.reserve(song.tracks.size());
  for (size_t t = 0; t < song.tracks.size(); ++t) {
    const TrackDef& def = song.tracks[t];
    const int ti = static_cast<int>(t);
    const float angle = (std::clamp(def.pan, -1.0f, 1.0f) + 1.0f) * 0.25f * kPi;
    tracks.push_back(TrackState{
        std::make_unique<Instrument>(song.instruments[def.instrument].patch, fs, 1000u + static_cast<uint32_t>(t)),
        LaneReader(findLane(schedule, ti, kAutoGain), 1.0f),
        LaneReader(findLane(schedule, ti, kAutoCutoff), 0.0f),
        LaneReader(findLane(schedule, ti, kAutoReverb), def.rev),
        LaneReader(findLane(schedule, ti, kAutoDelay), def.dly),
        dbToGain(def.level),
        std::sqrt(2.0f) * std::cos(angle),
        std::sqrt(2.0f) * std::sin(angle),
        std::clamp(def.duck, 0.0f, 1.0f),
        def.hp > 0.0f,
        def.clip < 0.0f ? dbToGain(def.clip) : 0.0f,
        {},
        {},
        {},
        {}});
    tracks.back().hpL.setup(def.hp, 0.29f, fs);  // Butterworth
    tracks.back().hpR.setup(def.hp, 0.29f, fs);
  }
  LaneReader masterGain(findLane(schedule, -1, kAutoGain), 1.0f);
  StereoDelay delay(song.delay, static_cast<float>(schedule.samplesPerRow), fs);
  Reverb reverb(song.reverb, fs);
  SidechainCompressor ducker(song.duck, fs);
  OnePole dcL, dcR;
  dcL.setLowPass(8.0f, fs);
  dcR.setLowPass(8.0f, fs);

  float duckGain[kBlock];
  float dryL[kBlock], dryR[kBlock], dlyL[kBlock], dlyR[kBlock], revL[kBlock], revR[kBlock];
  size_t ev = 0;
  RenderStats st;
  st.frames = frames;
  const size_t seconds = static_cast<size_t>(frames / song.sampleRate) + 1;
  st.trackPower.assign(tracks.size(), std::vector<float>(seconds, 0.0f));

  for (int64_t pos = 0; pos < frames;) {
    // Events due now, then render up to the next event or the block size.
    while (ev < schedule.events.size() && schedule.events[ev].sample <= pos) {
      const Event& e = schedule.events[ev++];
      TrackState& ts = tracks[e.track];
      if (e.type == Event::kOn) {
        const TrackDef& def = song.tracks[e.track];
        if (def.choke >= 0) tracks[def.choke].instrument->choke();
        ts.instrument->noteOn(e.note, ts.cutoff.at(pos));
        ++st.events;
      } else {
        ts.instrument->noteOff(e.note.id);
      }
    }
    int64_t end = std::min(pos + kBlock, frames);
    if (ev < schedule.events.size()) end = std::min(end, schedule.events[ev].sample);
    const int n = static_cast<int>(end - pos);

    int voices = 0;
    for (TrackState& ts : tracks) {
      std::fill(ts.bufL, ts.bufL + n, 0.0f);
      std::fill(ts.bufR, ts.bufR + n, 0.0f);
      ts.instrument->render(ts.bufL, ts.bufR, n, ts.cutoff.at(pos));
      if (ts.highPass) {
        ts.hpL.processStereo(ts.bufL, ts.bufR, n, kHighPass, ts.hpR);
      }
      voices += ts.instrument->activeVoices();
    }
    st.maxVoices = std::max(st.maxVoices, voices);

    if (song.keyTrack >= 0) {
      TrackState& key = tracks[song.keyTrack];
      ducker.computeGain(key.bufL, key.bufR, duckGain, n);
    } else {
      std::fill(duckGain, duckGain + n, 1.0f);
    }

    std::fill(dryL, dryL + n, 0.0f);
    std::fill(dryR, dryR + n, 0.0f);
    std::fill(dlyL, dlyL + n, 0.0f);
    std::fill(dlyR, dlyR + n, 0.0f);
    std::fill(revL, revL + n, 0.0f);
    std::fill(revR, revR + n, 0.0f);
    const float invN = 1.0f / static_cast<float>(n);
    const size_t second = static_cast<size_t>(pos / song.sampleRate);
    for (size_t t = 0; t < tracks.size(); ++t) {
      TrackState& ts = tracks[t];
      float power = 0.0f;
      // Gain ramps across the block; sends are set per block.
      const float g0 = ts.level * ts.gain.at(pos), g1 = ts.level * ts.gain.at(end);
      const float rev = ts.rev.at(pos), dly = ts.dly.at(pos);
      for (int i = 0; i < n; ++i) {
        const float g = (g0 + (g1 - g0) * (static_cast<float>(i) * invN)) *
                        (1.0f - ts.duck * (1.0f - duckGain[i]));
        float l = ts.bufL[i] * g * ts.panL, r = ts.bufR[i] * g * ts.panR;
        if (ts.clip > 0.0f) {
          l = ts.clip * softClip(l / ts.clip);
          r = ts.clip * softClip(r / ts.clip);
        }
        dryL[i] += l;
        dryR[i] += r;
        power += l * l + r * r;
        dlyL[i] += l * dly;
        dlyR[i] += r * dly;
        revL[i] += l * rev;
        revR[i] += r * rev;
      }
      st.trackPower[t][second] += power / (2.0f * song.sampleRate);
    }
    delay.process(dlyL, dlyR, n);
    for (int i = 0; i < n; ++i) {
      revL[i] += dlyL[i] * song.delayToReverb;
      revR[i] += dlyR[i] * song.delayToReverb;
    }
    reverb.process(revL, revR, n);

    const float m0 = masterGain.at(pos), m1 = masterGain.at(end);
    float* dst = out.data() + 2 * pos;
    for (int i = 0; i < n; ++i) {
      const float m = m0 + (m1 - m0) * (static_cast<float>(i) * invN);
      dst[2 * i] = dcL.highPass(dryL[i] + dlyL[i] + revL[i]) * m;
      dst[2 * i + 1] = dcR.highPass(dryR[i] + dlyR[i] + revR[i]) * m;
    }
    pos = end;
  }
  if (stats) *stats = st;
  return out;
}

}  // namespace synth
