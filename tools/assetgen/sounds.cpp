#include "tools/assetgen/sounds.h"

#include <algorithm>
#include <cmath>

#include "game/slots.h"
#include "tools/assetgen/raster.h"

namespace assets {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kRate = float(kSampleRate);

std::vector<float> silence(float seconds) {
  return std::vector<float>(size_t(seconds * kRate), 0.0f);
}

// One-pole low-pass filter state.
struct LowPass {
  float y = 0;
  float step(float x, float cutoff) {
    float a = 1 - std::exp(-2 * kPi * cutoff / kRate);
    y += a * (x - y);
    return y;
  }
};

float env_exp(float t, float attack, float decay) {
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / decay);
}

// Shot: a bright laser zap sweeping down.
std::vector<float> shot() {
  auto s = silence(0.16f);
  float phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    float f = 1900 * std::exp(-t * 18) + 320;
    phase += f / kRate;
    float sq = std::sin(2 * kPi * phase) + 0.35f * std::sin(6 * kPi * phase);
    s[i] = sq * env_exp(t, 0.002f, 0.05f);
  }
  return s;
}

// Missile launch: a hissing whoosh over a rising tone.
std::vector<float> missile() {
  auto s = silence(0.55f);
  Rng rng(2);
  LowPass lp, lp2;
  float phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    float noise = rng.uniform() * 2 - 1;
    float hiss = lp.step(noise, 800 + 3000 * t) - lp2.step(noise, 200);
    phase += (180 + 420 * t) / kRate;
    float tone = 0.35f * std::sin(2 * kPi * phase);
    s[i] = (hiss * 1.4f + tone) * env_exp(t, 0.03f, 0.18f);
  }
  return s;
}

// Explosion: low rumbling noise with a sharp start and a long tail.
std::vector<float> explosion() {
  auto s = silence(1.3f);
  Rng rng(3);
  LowPass a, b;
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    float noise = rng.uniform() * 2 - 1;
    float rumble = b.step(a.step(noise, 1400 * std::exp(-t * 2.5f) + 90), 900);
    float crack = t < 0.05f ? noise * (1 - t / 0.05f) * 0.4f : 0;
    s[i] = (rumble * 3.2f + crack) * env_exp(t, 0.004f, 0.32f);
  }
  return s;
}

// Enemy rocket launch: a falling, buzzing blip.
std::vector<float> enemy_launch() {
  auto s = silence(0.3f);
  float phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    phase += (900 - 1800 * t) / kRate;
    float saw = 2 * (phase - std::floor(phase)) - 1;
    s[i] = (0.6f * saw + 0.4f * std::sin(2 * kPi * phase)) * env_exp(t, 0.004f, 0.09f);
  }
  return s;
}

// Hit: a short metallic clang (inharmonic partials) with a noise burst.
std::vector<float> hit() {
  auto s = silence(0.35f);
  Rng rng(5);
  const float partials[4] = {410, 1063, 1720, 2630};
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    float v = 0;
    for (int k = 0; k < 4; ++k)
      v += std::sin(2 * kPi * partials[k] * t) * std::exp(-t * (10 + k * 6)) / (k + 1);
    v += (rng.uniform() * 2 - 1) * std::exp(-t * 60) * 0.8f;
    s[i] = v * std::min(1.0f, t / 0.001f);
  }
  return s;
}

// Bonus: a quick rising major arpeggio.
std::vector<float> bonus() {
  auto s = silence(0.5f);
  const float notes[4] = {523.25f, 659.25f, 783.99f, 1046.5f};
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    int n = std::min(3, int(t / 0.075f));
    float tn = t - n * 0.075f;
    float f = notes[n];
    float v = std::sin(2 * kPi * f * t) + 0.3f * std::sin(4 * kPi * f * t);
    float e = n < 3 ? env_exp(tn, 0.003f, 0.12f) : env_exp(tn, 0.003f, 0.09f);
    s[i] = v * e;
  }
  return s;
}

// Targeted warning: two alternating alarm tones.
std::vector<float> warning() {
  auto s = silence(0.42f);
  float phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    float f = (int(t / 0.105f) % 2) ? 660 : 880;
    phase += f / kRate;
    float sq = std::sin(2 * kPi * phase) + 0.3f * std::sin(6 * kPi * phase);
    float seg = std::fmod(t, 0.105f);
    s[i] = sq * std::min(1.0f, seg / 0.004f) * std::min(1.0f, (0.105f - seg) / 0.004f);
  }
  return s;
}

// Lock-on: a short clean high beep.
std::vector<float> lock_beep() {
  auto s = silence(0.07f);
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    s[i] = std::sin(2 * kPi * 1480 * t);
  }
  return s;
}

// Menu typing: a tiny click, a few milliseconds of a damped partial.
std::vector<float> click() {
  auto s = silence(0.03f);
  Rng rng(9);
  for (size_t i = 0; i < s.size(); ++i) {
    float t = i / kRate;
    s[i] = (std::sin(2 * kPi * 2300 * t) + 0.5f * (rng.uniform() * 2 - 1)) * std::exp(-t * 220);
  }
  return s;
}

}  // namespace

std::vector<int16_t> finish(std::vector<float> s, float peak, float fade_ms) {
  float max = 0;
  for (float v : s) max = std::max(max, std::fabs(v));
  float k = max > 0 ? peak / max : 0;
  size_t fade = std::min(s.size() / 2, size_t(fade_ms / 1000 * kRate));
  std::vector<int16_t> out(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    float g = 1;
    if (i < fade) g = float(i) / fade;
    if (s.size() - 1 - i < fade) g = std::min(g, float(s.size() - 1 - i) / fade);
    out[i] = int16_t(std::lround(std::clamp(s[i] * k * g, -1.0f, 1.0f) * 32767));
  }
  return out;
}

std::vector<Sound> game_sounds() {
  // Peaks: -1 dBFS for the big events; the frequent small sounds sit lower so
  // that they match the others in loudness, and a burst of shots, hits and an
  // explosion together stays clear of clipping in a summing mixer.
  const float full = std::pow(10.0f, -1.0f / 20);  // -1 dBFS
  using namespace slots::wave;
  std::vector<Sound> s(kCount);
  s[kUnused] = {"silence", std::vector<int16_t>(441, 0)};
  s[kShot] = {"shot", finish(shot(), full * 0.5f)};
  s[kMissile] = {"missile", finish(missile(), full * 0.7f)};
  s[kExplosion] = {"explosion", finish(explosion(), full)};
  s[kEnemyRocket] = {"enemy rocket", finish(enemy_launch(), full * 0.7f)};
  s[kHit] = {"hit", finish(hit(), full * 0.7f)};
  s[kBonus] = {"bonus", finish(bonus(), full * 0.5f)};
  s[kTargeted] = {"targeted", finish(warning(), full * 0.28f)};
  s[kLockOn] = {"lock-on", finish(lock_beep(), full * 0.3f, 3.0f)};
  s[kMenuClick] = {"click", finish(click(), full * 0.5f, 0.5f)};
  return s;
}

}  // namespace assets
