#pragma once
// The moving part of the screensaver, without any drawing: a field of stars
// in front of the viewer, each flying towards the camera and respawning far
// away once it passes the near plane or leaves the picture.
//
// Everything here is deterministic given a seed, so a run looks the same every
// time and the tests can check the motion without a window.
#include <cstdint>

namespace starfield {

// xorshift32: tiny, fast and reproducible on every CRT, unlike rand().
class Rng {
 public:
  explicit constexpr Rng(std::uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}

  constexpr std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

  // Uniform in [0, 1); 24 bits is all a float mantissa can hold anyway.
  constexpr float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }

 private:
  std::uint32_t state_;
};

// A star is meaningless until Field::reset() or a respawn places it.
struct Star {
  float x = 0, y = 0;  // lateral position; z / focal length maps it to pixels
  float z = 0;         // depth in (kNearZ, 1]; 1 is the far plane
  int sx = 0, sy = 0;  // projected position, field-local pixels
  int px = 0, py = 0;  // projected position one step earlier (equals sx, sy after a respawn)
  std::uint8_t tint = 0;
};

inline constexpr int kMaxStars = 300;
inline constexpr int kTintCount = 4;
inline constexpr float kNearZ = 0.02f;
// Depth units per second: a star crosses the whole field in a little over two
// seconds, which reads as a steady cruise rather than a warp jump.
inline constexpr float kSpeed = 0.45f;
// Longest step we simulate at once. After a stall (a suspended machine, a
// debugger) the field carries on from where it was instead of jumping.
inline constexpr float kMaxStep = 0.1f;

struct Field {
  int width = 0, height = 0;
  int count = 0;
  Star stars[kMaxStars];

  // Sizes the field and scatters a fresh set of stars over every depth, so
  // the very first frame already looks like a starfield in motion.
  void reset(int w, int h, Rng& rng) {
    width = w > 0 ? w : 0;
    height = h > 0 ? h : 0;
    // Roughly one star per 2500 pixels keeps the density alike on a monitor
    // and in a stamp-sized preview, within a floor that still reads as stars.
    const std::int64_t area = static_cast<std::int64_t>(width) * height;
    std::int64_t wanted = area / 2500;
    if (wanted < 60) wanted = 60;
    if (wanted > kMaxStars) wanted = kMaxStars;
    if (wanted > area) wanted = area;
    count = static_cast<int>(wanted);
    for (int i = 0; i < count; ++i) spawn(stars[i], kNearZ + (1.0f - kNearZ) * (1.0f - rng.unit()), rng);
  }

  void step(float seconds, Rng& rng) {
    if (!(seconds > 0)) return;  // also rejects NaN
    if (seconds > kMaxStep) seconds = kMaxStep;
    const float dz = kSpeed * seconds;
    for (int i = 0; i < count; ++i) {
      Star& s = stars[i];
      const int lastX = s.sx, lastY = s.sy;
      s.z -= dz;
      if (s.z <= kNearZ || !project(s)) {
        spawn(s, 1.0f, rng);
        continue;
      }
      s.px = lastX;
      s.py = lastY;
    }
  }

 private:
  // Wider fields get a longer focal length so stars fan out at the same
  // apparent speed whatever the aspect ratio.
  float focal() const { return 0.5f * static_cast<float>(width > height ? width : height); }

  bool project(Star& s) const {
    const float scale = focal() / s.z;
    const float fx = 0.5f * static_cast<float>(width) + s.x * scale;
    const float fy = 0.5f * static_cast<float>(height) + s.y * scale;
    // Compare as floats first: a star close to the camera projects far
    // outside any int a screen could use.
    if (!(fx >= 0 && fy >= 0 && fx < static_cast<float>(width) && fy < static_cast<float>(height))) return false;
    s.sx = static_cast<int>(fx);
    s.sy = static_cast<int>(fy);
    return true;
  }

  // Places a star at depth z somewhere inside the visible part of that depth
  // slice, so no star is born off screen and wasted.
  void spawn(Star& s, float z, Rng& rng) {
    const float reach = z / focal();
    s.z = z;
    s.x = (rng.unit() - 0.5f) * static_cast<float>(width) * reach;
    s.y = (rng.unit() - 0.5f) * static_cast<float>(height) * reach;
    s.tint = static_cast<std::uint8_t>(rng.next() % kTintCount);
    if (!project(s)) {
      // Rounding at the very edge of a huge field; the centre is always in.
      s.x = s.y = 0;
      project(s);
    }
    s.px = s.sx;
    s.py = s.sy;
  }
};

}  // namespace starfield
