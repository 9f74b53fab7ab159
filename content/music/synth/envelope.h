// ADSR envelope with exponential segments that still land on their targets in the given time:
// each segment chases a point slightly beyond its target and stops on reaching it.
#pragma once

namespace synth {

class Adsr {
 public:
  enum Stage { kIdle, kAttack, kDecay, kSustain, kRelease };

  // Times in seconds, sustain as a level in [0, 1]. The attack runs from 0 to 1 and the
  // release from 1 to 0 in their times (a release from a lower level ends sooner).
  void setup(float attack, float decay, float sustain, float release, float sampleRate);

  // Starts the attack from the current level, so a retrigger never jumps.
  void gateOn() { stage_ = kAttack; }
  void gateOff() {
    if (stage_ != kIdle) stage_ = kRelease;
  }
  void reset() {
    stage_ = kIdle;
    level_ = 0.0f;
  }

  float next() {
    switch (stage_) {
      case kAttack:
        level_ = attackBase_ + level_ * attackCoef_;
        if (level_ >= 1.0f) {
          level_ = 1.0f;
          stage_ = kDecay;
        }
        break;
      case kDecay:
        level_ = decayBase_ + level_ * decayCoef_;
        if (level_ <= sustain_) {
          level_ = sustain_;
          stage_ = kSustain;
        }
        break;
      case kRelease:
        level_ = releaseBase_ + level_ * releaseCoef_;
        if (level_ <= 0.0f) {
          level_ = 0.0f;
          stage_ = kIdle;
        }
        break;
      default:
        break;
    }
    return level_;
  }

  // Advances n samples and returns the level reached.
  float skip(int n) {
    for (int i = 0; i < n; ++i) next();
    return level_;
  }

  Stage stage() const { return stage_; }
  float level() const { return level_; }
  bool active() const { return stage_ != kIdle; }

 private:
  Stage stage_ = kIdle;
  float level_ = 0.0f;
  float sustain_ = 1.0f;
  float attackCoef_ = 0.0f, attackBase_ = 1.0f;
  float decayCoef_ = 0.0f, decayBase_ = 0.0f;
  float releaseCoef_ = 0.0f, releaseBase_ = 0.0f;
};

}  // namespace synth
