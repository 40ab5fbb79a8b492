// Checks for the parts of the screensaver that do not need a window: how the
// host's command line is read, and how the stars move.
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string_view>

#include "scr_args.h"
#include "starfield_sim.h"

namespace {

int g_failures = 0;

void fail(const char* group, const char* what, const char* detail) {
  ++g_failures;
  std::printf("FAIL [%s] %s: %s\n", group, what, detail);
}

const char* modeName(starfield::Mode m) {
  switch (m) {
    case starfield::Mode::Saver: return "Saver";
    case starfield::Mode::Configure: return "Configure";
    case starfield::Mode::Preview: return "Preview";
    case starfield::Mode::Password: return "Password";
    case starfield::Mode::Invalid: return "Invalid";
  }
  return "?";
}

// ---------------------------------------------------------------------------
// Command line

struct ArgCase {
  const char* line;
  starfield::Mode mode;
  bool hasWindow;
  std::uint32_t window;
};

using M = starfield::Mode;
constexpr ArgCase kArgCases[] = {
    // No argument is what Explorer sends for "Configure" on some systems.
    {"", M::Configure, false, 0},
    {"   \t", M::Configure, false, 0},

    // Every spelling hosts use for "run".
    {"/s", M::Saver, false, 0},
    {"/S", M::Saver, false, 0},
    {"-s", M::Saver, false, 0},
    {"  /s  ", M::Saver, false, 0},

    // Settings, with and without an owner window, in both handle spellings.
    {"/c", M::Configure, false, 0},
    {"/C:1234", M::Configure, true, 1234},
    {"/c 1234", M::Configure, true, 1234},
    {"-c:66052", M::Configure, true, 66052},

    // Preview handles: colon or blanks, unsigned or signed, and the
    // sign-extended 64-bit form a 64-bit host may print.
    {"/p 1234", M::Preview, true, 1234},
    {"/P:1234", M::Preview, true, 1234},
    {"/p\t  1234  ", M::Preview, true, 1234},
    {"/p 4294967295", M::Preview, true, 0xFFFFFFFFu},
    {"/p -2", M::Preview, true, 0xFFFFFFFEu},
    {"/p -2147483648", M::Preview, true, 0x80000000u},
    {"/p 18446744071562067968", M::Preview, true, 0x80000000u},
    {"/p +77", M::Preview, true, 77},

    // A preview request that names no usable window stays a preview request
    // so the program can fail it quietly with an exit code.
    {"/p", M::Preview, false, 0},
    {"/p:", M::Preview, false, 0},
    {"/p abc", M::Preview, false, 0},
    {"/p 12ab", M::Preview, false, 0},
    {"/p 12 34", M::Preview, false, 0},
    {"/p -", M::Preview, false, 0},
    {"/p 4294967296", M::Preview, false, 0},             // does not fit in 32 bits
    {"/p -2147483649", M::Preview, false, 0},            // nor does this
    {"/p 99999999999999999999999", M::Preview, false, 0},  // overflows 64 bits
    {"/p 18446744073709551621", M::Preview, false, 0},     // 2^64 + 5 must not wrap to 5

    {"/a 55", M::Password, true, 55},

    // Things nobody should guess at.
    {"s", M::Invalid, false, 0},
    {"/", M::Invalid, false, 0},
    {"/x", M::Invalid, false, 0},
    {"/save", M::Invalid, false, 0},
    {"/s 1", M::Invalid, false, 0},
    {"/s:", M::Invalid, false, 0},
    {"/c:", M::Invalid, false, 0},
    {"/c nope", M::Invalid, false, 0},
    {"/configure", M::Invalid, false, 0},
    {"C:\\Windows\\starfield.scr", M::Invalid, false, 0},
};

void testArgs() {
  for (const ArgCase& c : kArgCases) {
    const starfield::Args got = starfield::parseArgs(c.line);
    if (got.mode != c.mode || got.hasWindow != c.hasWindow || (c.hasWindow && got.window != c.window)) {
      char detail[160];
      std::snprintf(detail, sizeof detail, "got %s hasWindow=%d window=%lu, want %s hasWindow=%d window=%lu",
                    modeName(got.mode), got.hasWindow, static_cast<unsigned long>(got.window), modeName(c.mode),
                    c.hasWindow, static_cast<unsigned long>(c.window));
      fail("args", c.line, detail);
    }
  }
}

// ---------------------------------------------------------------------------
// Star motion

struct Size {
  int w, h;
};
// Degenerate, preview-sized, ordinary, very wide and very large fields.
constexpr Size kSizes[] = {{1, 1}, {2, 900}, {900, 2}, {152, 112}, {1024, 768}, {3840, 2160}, {7680, 4320}};

// Frame gaps the timer may really produce: steady, jittery, none at all,
// and the long stall of a machine waking from sleep.
constexpr float kGaps[] = {0.030f, 0.016f, 0.0f, 0.045f, 30.0f, 0.030f, -1.0f, 0.031f};

bool inside(const starfield::Field& f, int x, int y) { return x >= 0 && y >= 0 && x < f.width && y < f.height; }

double distanceFromCentre(const starfield::Field& f, int x, int y) {
  return std::hypot(x - f.width / 2.0, y - f.height / 2.0);
}

void testMotion() {
  static starfield::Field field;  // large: keep it off the stack
  for (const Size& size : kSizes) {
    char name[48];
    std::snprintf(name, sizeof name, "%dx%d", size.w, size.h);
    starfield::Rng rng(42);
    field.reset(size.w, size.h, rng);
    if (field.count <= 0) {
      fail("motion", name, "no stars in a visible field");
      continue;
    }

    bool respawned[starfield::kMaxStars] = {};
    bool reportedBounds = false, reportedInward = false, reportedTrail = false;
    // Ten simulated seconds: several lifetimes of every star.
    for (int frame = 0; frame < 330; ++frame) {
      const float gap = kGaps[frame % (sizeof kGaps / sizeof kGaps[0])];
      float before[starfield::kMaxStars];
      int beforeX[starfield::kMaxStars], beforeY[starfield::kMaxStars];
      for (int i = 0; i < field.count; ++i) {
        before[i] = field.stars[i].z;
        beforeX[i] = field.stars[i].sx;
        beforeY[i] = field.stars[i].sy;
      }
      const bool moved = gap > 0;
      field.step(gap, rng);

      for (int i = 0; i < field.count; ++i) {
        const starfield::Star& s = field.stars[i];
        // A star that flew on is strictly nearer; one that did not was reborn.
        const bool flew = moved && s.z < before[i];
        if (moved && !flew) respawned[i] = true;
        // Drawing relies on this: a star outside its field would paint onto
        // the neighbouring monitor or past the back buffer.
        if (!reportedBounds && (!inside(field, s.sx, s.sy) || !inside(field, s.px, s.py) || !std::isfinite(s.z) ||
                                !(s.z > starfield::kNearZ && s.z <= 1.0f))) {
          char detail[96];
          std::snprintf(detail, sizeof detail, "star %d at (%d,%d) from (%d,%d) z=%g", i, s.sx, s.sy, s.px, s.py,
                        static_cast<double>(s.z));
          fail("motion bounds", name, detail);
          reportedBounds = true;
        }
        // The streak drawn behind a star must start where the star was shown
        // in the previous frame, or it points at nothing.
        if (!reportedTrail && flew && (s.px != beforeX[i] || s.py != beforeY[i])) {
          fail("motion trail", name, "a streak does not start at the star's previous position");
          reportedTrail = true;
        }
        // Stars fly towards the viewer, so away from the centre, never back.
        if (!reportedInward && flew &&
            distanceFromCentre(field, s.sx, s.sy) + 1.5 < distanceFromCentre(field, s.px, s.py)) {
          fail("motion direction", name, "a star moved towards the centre");
          reportedInward = true;
        }
      }
    }
    for (int i = 0; i < field.count; ++i) {
      if (!respawned[i]) {
        fail("motion lifetime", name, "a star never came back from the near plane");
        break;
      }
    }
  }
}

// Waking from sleep delivers one enormous frame gap. The field should carry
// on mid-flight, not empty itself and restart every star at the far plane.
void testStall() {
  static starfield::Field field;
  starfield::Rng rng(5);
  field.reset(1024, 768, rng);
  field.step(3600.0f, rng);
  int restarted = 0;
  for (int i = 0; i < field.count; ++i)
    if (field.stars[i].z == 1.0f) ++restarted;
  if (restarted * 2 > field.count) fail("stall", "1024x768", "most stars restarted after a long gap");
}

void testEmptyFields() {
  static starfield::Field field;
  constexpr Size kEmpty[] = {{0, 0}, {0, 600}, {800, 0}, {-5, 100}};
  for (const Size& size : kEmpty) {
    starfield::Rng rng(7);
    field.reset(size.w, size.h, rng);
    field.step(0.03f, rng);  // must not divide by a zero extent
    if (field.count != 0 || field.width < 0 || field.height < 0) {
      char name[48];
      std::snprintf(name, sizeof name, "%dx%d", size.w, size.h);
      fail("empty field", name, "stars or a negative extent in a field with no area");
    }
  }
}

// The same seed must give the same show, so any run can be reproduced.
void testDeterminism() {
  static starfield::Field a, b;
  starfield::Rng ra(99), rb(99);
  a.reset(640, 480, ra);
  b.reset(640, 480, rb);
  for (int frame = 0; frame < 200; ++frame) {
    a.step(0.03f, ra);
    b.step(0.03f, rb);
  }
  for (int i = 0; i < a.count; ++i) {
    const starfield::Star &s = a.stars[i], &t = b.stars[i];
    if (s.sx != t.sx || s.sy != t.sy || s.z != t.z || s.tint != t.tint) {
      fail("determinism", "640x480", "two runs from one seed diverged");
      return;
    }
  }
  // A zero seed would lock xorshift at zero forever; it must still move.
  starfield::Rng zero(0);
  if (zero.next() == 0 && zero.next() == 0) fail("determinism", "seed 0", "generator stuck at zero");
}

}  // namespace

int main() {
  testArgs();
  testMotion();
  testStall();
  testEmptyFields();
  testDeterminism();
  if (g_failures) {
    std::printf("%d failure(s)\n", g_failures);
    return 1;
  }
  std::printf("all passed\n");
  return 0;
}
