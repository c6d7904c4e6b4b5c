#include "tools/assets/Illustration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <vector>

namespace {

struct Vec {
  double x = 0, y = 0, z = 0;
  Vec operator+(Vec o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec operator-(Vec o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec operator*(double s) const { return {x * s, y * s, z * s}; }
  Vec operator*(Vec o) const { return {x * o.x, y * o.y, z * o.z}; }
};

double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec Normalise(Vec v) { return v * (1 / std::sqrt(Dot(v, v))); }
Vec Reflect(Vec d, Vec n) { return d - n * (2 * Dot(d, n)); }

// An orthonormal frame: the columns are the local axes in world space.
struct Frame {
  Vec u{1, 0, 0}, v{0, 1, 0}, w{0, 0, 1};
  Vec ToLocal(Vec p) const { return {Dot(p, u), Dot(p, v), Dot(p, w)}; }
  Vec ToWorld(Vec p) const { return u * p.x + v * p.y + w * p.z; }
};

Frame Rotation(double yawDeg, double pitchDeg, double rollDeg) {
  const double d = std::numbers::pi / 180;
  const auto rot = [](Vec p, int axis, double a) {
    const double c = std::cos(a), s = std::sin(a);
    if (axis == 0) return Vec{p.x, c * p.y - s * p.z, s * p.y + c * p.z};
    if (axis == 1) return Vec{c * p.x + s * p.z, p.y, -s * p.x + c * p.z};
    return Vec{c * p.x - s * p.y, s * p.x + c * p.y, p.z};
  };
  Frame f;
  for (Vec* axis : {&f.u, &f.v, &f.w}) *axis = rot(rot(rot(*axis, 2, rollDeg * d), 0, pitchDeg * d), 1, yawDeg * d);
  return f;
}

struct Material {
  Vec albedo;
};

// A cube with rounded edges.
struct Cube {
  Vec centre;
  Frame frame;
  const Material* material;
};

constexpr double kHalf = 0.5;
constexpr double kRounding = 0.085;
constexpr double kGap = 0.05;

double CubeDistance(Vec p) {
  const Vec q{std::abs(p.x) - (kHalf - kRounding), std::abs(p.y) - (kHalf - kRounding),
              std::abs(p.z) - (kHalf - kRounding)};
  const Vec outside{std::max(q.x, 0.0), std::max(q.y, 0.0), std::max(q.z, 0.0)};
  return std::sqrt(Dot(outside, outside)) + std::min(std::max(q.x, std::max(q.y, q.z)), 0.0) - kRounding;
}

struct Hit {
  double t;
  Vec normal;
  const Material* material;  // null for the floor
};

const Material kBlue{{0.004, 0.07, 0.62}};
const Material kRed{{0.75, 0.02, 0.015}};
const Vec kFloorAlbedo{1, 1, 1};

class Scene {
 public:
  Scene() {
    const double pitch = 1 + kGap;
    for (int layer = 0; layer < 2; ++layer)
      for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
          if (layer == 1 && row == 0 && col == 2) continue;  // the red cube's place
          cubes_.push_back({{(col - 1) * pitch, kHalf + layer * pitch, (row - 1) * pitch}, {}, &kBlue});
        }
    cubes_.push_back({{1 * pitch + 0.15, kHalf + pitch + 1.2, -1 * pitch - 0.2}, Rotation(28, -16, 12), &kRed});
  }

  std::optional<Hit> Trace(Vec origin, Vec dir, double maxT = 1e9) const {
    std::optional<Hit> best;
    if (dir.y < 0) {
      const double t = -origin.y / dir.y;
      if (t > 1e-6 && t < maxT) best = Hit{t, {0, 1, 0}, nullptr};
    }
    for (const Cube& cube : cubes_) {
      const double limit = best ? best->t : maxT;
      if (auto hit = TraceCube(cube, origin, dir, limit)) best = hit;
    }
    return best;
  }

  bool Blocked(Vec origin, Vec dir, double maxT) const {
    for (const Cube& cube : cubes_)
      if (TraceCube(cube, origin, dir, maxT)) return true;
    return false;
  }

 private:
  static std::optional<Hit> TraceCube(const Cube& cube, Vec origin, Vec dir, double limit) {
    const Vec o = cube.frame.ToLocal(origin - cube.centre);
    const Vec d = cube.frame.ToLocal(dir);
    double near = 0, far = limit;
    for (auto [oc, dc] : {std::pair{o.x, d.x}, {o.y, d.y}, {o.z, d.z}}) {
      if (std::abs(dc) < 1e-12) {
        if (std::abs(oc) > kHalf) return std::nullopt;
        continue;
      }
      double t0 = (-kHalf - oc) / dc, t1 = (kHalf - oc) / dc;
      if (t0 > t1) std::swap(t0, t1);
      near = std::max(near, t0);
      far = std::min(far, t1);
      if (near > far) return std::nullopt;
    }
    // March inside the bounding box; the distance is exact, so steps never overshoot.
    double t = near;
    for (int step = 0; step < 80 && t <= far; ++step) {
      const Vec p = o + d * t;
      const double dist = CubeDistance(p);
      if (dist < 1e-5) {
        const double e = 1e-5;
        const Vec n{CubeDistance(p + Vec{e, 0, 0}) - CubeDistance(p - Vec{e, 0, 0}),
                    CubeDistance(p + Vec{0, e, 0}) - CubeDistance(p - Vec{0, e, 0}),
                    CubeDistance(p + Vec{0, 0, e}) - CubeDistance(p - Vec{0, 0, e})};
        return Hit{t, Normalise(cube.frame.ToWorld(n)), cube.material};
      }
      t += dist;
    }
    return std::nullopt;
  }

  std::vector<Cube> cubes_;
};

// Deterministic sample sequences: a hash of the pixel and the sample number.
std::uint32_t Hash(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

double Unit(std::uint32_t h) { return (h >> 8) * (1.0 / 16777216.0); }

struct Sampler {
  std::uint32_t pixel;
  std::uint32_t sample;
  // The k-th of n points in the unit square for this sample, one in each
  // column and one in each row of an n x n grid (n not a multiple of 5).
  std::pair<double, double> Point(std::uint32_t k, std::uint32_t n, std::uint32_t stream) const {
    const std::uint32_t column = (k + Hash(pixel, sample, stream)) % n;
    const std::uint32_t row = (column * 5 + Hash(pixel, sample, stream + 1)) % n;
    return {(column + Unit(Hash(pixel, sample * 64 + k, stream + 2))) / n,
            (row + Unit(Hash(pixel, sample * 64 + k, stream + 3))) / n};
  }
};

Frame Around(Vec n) {
  const Vec a = std::abs(n.x) > 0.9 ? Vec{0, 1, 0} : Vec{1, 0, 0};
  const Vec u = Normalise(Cross(a, n));
  return {u, n, Cross(u, n)};
}

// The floor in full light is brighter than white, so the picture's ground is
// white and only the shadows show on it.
const Vec kSun = Normalise({0.5, 1.0, -0.6});
constexpr double kSunSpread = 0.16;  // radius of the light's disc, in radians
const Vec kSunColour{1.0, 1.0, 0.98};
const Vec kSky{0.26, 0.27, 0.30};

// The studio around the scene: grey walls and two bright soft boxes, one
// above the camera and one behind the cubes, whose mirror images make the
// lacquer shine.
Vec Environment(Vec d) {
  const double up = std::max(d.y, 0.0);
  Vec c = Vec{0.20, 0.21, 0.23} + Vec{0.30, 0.30, 0.30} * std::sqrt(up);
  for (const Vec& toBox : {Normalise({-0.45, 1.0, -0.75}), Normalise({0.45, 0.62, 0.70})}) {
    const Vec l = Around(toBox).ToLocal(d);
    if (l.y > 0 && std::abs(l.x / l.y) < 0.35 && std::abs(l.z / l.y) < 0.22) c = c + Vec{2.5, 2.5, 2.5};
  }
  return c;
}

class Renderer {
 public:
  explicit Renderer(const Scene& scene) : scene_(scene) {}

  Vec Radiance(Vec origin, Vec dir, const Sampler& s, int depth) const {
    const auto hit = scene_.Trace(origin, dir);
    if (!hit) return Environment(dir);
    const Vec p = origin + dir * hit->t;
    const Vec n = hit->normal;
    const Vec lifted = p + n * 1e-4;
    const Vec albedo = hit->material ? hit->material->albedo : kFloorAlbedo;
    const std::uint32_t rays = depth == 0 ? 8 : 1, stream = 10 * static_cast<std::uint32_t>(depth);

    // Soft shadow: rays to points spread over the light's disc.
    double sun = 0;
    if (Dot(n, kSun) > 0) {
      const Frame light = Around(kSun);
      for (std::uint32_t k = 0; k < rays; ++k) {
        const auto [a, b] = s.Point(k, rays, 100 + stream);
        const double r = kSunSpread * std::sqrt(a), phi = 2 * std::numbers::pi * b;
        const Vec l = Normalise(light.ToWorld({r * std::cos(phi), 1, r * std::sin(phi)}));
        if (!scene_.Blocked(lifted, l, 1e9)) sun += std::max(Dot(n, l), 0.0) / rays;
      }
    }
    // Sky light, occluded by what is near.
    double sky = 0;
    {
      const Frame around = Around(n);
      for (std::uint32_t k = 0; k < rays; ++k) {
        const auto [a, b] = s.Point(k, rays, 200 + stream);
        const double r = std::sqrt(a), phi = 2 * std::numbers::pi * b;
        const Vec l = around.ToWorld({r * std::cos(phi), std::sqrt(1 - a), r * std::sin(phi)});
        if (!scene_.Blocked(lifted, l, 3.0)) sky += 1.0 / rays;
      }
    }
    Vec colour = albedo * (kSunColour * sun + kSky * (sky * (0.6 + 0.4 * std::max(n.y, 0.0)) * 1.35));
    if (!hit->material) return colour;

    // Clear lacquer: Fresnel-weighted mirror image of the room and the other
    // cubes, and the highlight of the light itself.
    const double cosView = std::max(-Dot(dir, n), 0.0);
    const double fresnel = 0.05 + 0.95 * std::pow(1 - cosView, 5);
    const Vec mirror = Reflect(dir, n);
    const Vec reflected = depth < 1 ? Radiance(lifted, mirror, s, depth + 1) : Environment(mirror);
    const Vec half = Normalise(kSun - dir);
    const double highlight = std::pow(std::max(Dot(n, half), 0.0), 180) * 6 * sun;
    return colour * (1 - fresnel) + reflected * fresnel + Vec{highlight, highlight, highlight};
  }

 private:
  const Scene& scene_;
};

double Encode(double linear) {
  const double v = std::clamp(linear, 0.0, 1.0);
  return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

}  // namespace

RgbImage RenderIllustration() {
  const Scene scene;
  const Renderer renderer(scene);
  const Vec eye{-4.6, 6.0, -7.4}, target{0.5, 1.3, 0.1};
  const Vec forward = Normalise(target - eye);
  const Vec right = Normalise(Cross(Vec{0, 1, 0}, forward));
  const Vec up = Cross(forward, right);
  const double fov = 33 * std::numbers::pi / 180;
  const double scale = std::tan(fov / 2) * 2 / kIllustrationHeight;

  constexpr int kSide = 4;  // samples per pixel side
  RgbImage image{kIllustrationWidth, kIllustrationHeight, {}};
  image.rgb.reserve(static_cast<std::size_t>(kIllustrationWidth * kIllustrationHeight * 3));
  for (int y = 0; y < kIllustrationHeight; ++y) {
    for (int x = 0; x < kIllustrationWidth; ++x) {
      Vec sum;
      for (int sy = 0; sy < kSide; ++sy) {
        for (int sx = 0; sx < kSide; ++sx) {
          const Sampler s{static_cast<std::uint32_t>(y * kIllustrationWidth + x),
                          static_cast<std::uint32_t>(sy * kSide + sx)};
          const double px = (x + (sx + 0.5) / kSide - kIllustrationWidth / 2.0) * scale;
          const double py = (kIllustrationHeight / 2.0 - y - (sy + 0.5) / kSide) * scale;
          // Clamp each sample, so highlights brighter than white do not spill
          // over the edges of the pixel.
          const Vec c = renderer.Radiance(eye, Normalise(forward + right * px + up * py), s, 0);
          sum = sum + Vec{std::min(c.x, 1.0), std::min(c.y, 1.0), std::min(c.z, 1.0)};
        }
      }
      sum = sum * (1.0 / (kSide * kSide));
      for (double c : {sum.x, sum.y, sum.z})
        image.rgb.push_back(static_cast<std::uint8_t>(std::lround(Encode(c) * 255)));
    }
  }
  return image;
}
