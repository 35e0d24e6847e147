// Draws the program's icon, a pencil that has just drawn a line on a blue
// tile, and writes it as a Windows icon file with the four sizes Windows
// asks for: 16, 32 and 48 pixels as 32-bit bitmaps, 256 pixels as PNG.
// Runs on the build machine, so that the icon is made from this source and
// no binary is kept in the tree.
//
// usage: make_icon <output.ico>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Colour {
  double r = 0, g = 0, b = 0, a = 0;
};

// Paints `top` over `below` (straight alpha).
Colour over(const Colour& top, const Colour& below) {
  const double a = top.a + below.a * (1 - top.a);
  if (a <= 0) return {};
  auto mix = [&](double t, double u) { return (t * top.a + u * below.a * (1 - top.a)) / a; };
  return {mix(top.r, below.r), mix(top.g, below.g), mix(top.b, below.b), a};
}

Colour opaque(double r, double g, double b) { return {r / 255, g / 255, b / 255, 1}; }

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// Signed distance to a rounded square of half-size h and corner radius r.
double roundedSquare(double x, double y, double h, double r) {
  const double qx = std::abs(x) - h + r, qy = std::abs(y) - h + r;
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

// Distance from (x, y) to the segment a-b.
double segment(double x, double y, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double t = clamp01(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy));
  return std::hypot(x - ax - t * dx, y - ay - t * dy);
}

// The line the pencil drew: a wave from the left to the pencil's tip.
double strokeDistance(double x, double y) {
  double best = 1e9;
  double px = 0.12, py = 0.78;
  for (int i = 1; i <= 64; ++i) {
    const double t = i / 64.0;
    const double qx = 0.12 + (0.30 - 0.12) * t;
    const double qy = 0.78 - 0.06 * std::sin(t * 3.14159265 * 2);
    best = std::min(best, segment(x, y, px, py, qx, qy));
    px = qx;
    py = qy;
  }
  return best;
}

// The colour of the picture at (x, y), both from 0 to 1, y downwards.
Colour sample(double x, double y) {
  Colour c;
  // The tile: a blue gradient with a darker rim.
  const double tile = roundedSquare(x - 0.5, y - 0.5, 0.47, 0.12);
  if (tile < 0) {
    const double g = y;
    Colour blue = opaque(52 - 22 * g, 132 - 52 * g, 222 - 62 * g);
    if (tile > -0.02) blue = opaque(22, 62, 140);
    c = blue;
  }
  // The white line, ending at the pencil's tip.
  const double line = strokeDistance(x, y);
  if (line < 0.035 && tile < -0.02) c = over(opaque(255, 255, 255), c);

  // The pencil, from its tip at the line's end up to the top right.
  const double ax = 0.30, ay = 0.78, bx = 0.82, by = 0.26;
  const double lx = bx - ax, ly = by - ay, length = std::hypot(lx, ly);
  const double ux = lx / length, uy = ly / length;
  const double along = ((x - ax) * ux + (y - ay) * uy) / length;  // 0 at the tip, 1 at the end
  const double across = std::abs((x - ax) * -uy + (y - ay) * ux);
  const double halfWidth = 0.075;
  const double tipEnd = 0.22;
  if (along >= 0 && along <= 1) {
    const double width = along < tipEnd ? halfWidth * along / tipEnd : halfWidth;
    if (across <= width) {
      Colour part;
      if (along < 0.07)
        part = opaque(45, 45, 50);  // graphite
      else if (along < tipEnd)
        part = opaque(236, 196, 146);  // wood
      else if (along < 0.80)
        part = across < halfWidth / 3 ? opaque(255, 214, 64) : opaque(240, 176, 24);  // yellow body
      else if (along < 0.86)
        part = opaque(190, 190, 200);  // ferrule
      else
        part = opaque(236, 120, 140);  // eraser
      // A dark outline where the pencil meets the tile.
      if (width - across < 0.012 || (along > 0.995)) part = opaque(60, 40, 20);
      c = over(part, c);
    }
  }
  return c;
}

using Image = std::vector<std::array<uint8_t, 4>>;  // RGBA, rows from the top

// The picture at `size` pixels, each pixel the mean of 8 x 8 samples.
Image render(int size) {
  constexpr int kSamples = 8;
  Image image(static_cast<size_t>(size) * size);
  for (int py = 0; py < size; ++py)
    for (int px = 0; px < size; ++px) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx) {
          const Colour c = sample((px + (sx + 0.5) / kSamples) / size, (py + (sy + 0.5) / kSamples) / size);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      const double n = kSamples * kSamples;
      auto byte = [](double v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255)); };
      auto& out = image[static_cast<size_t>(py) * size + px];
      out = a > 0 ? std::array<uint8_t, 4>{byte(r / a), byte(g / a), byte(b / a), byte(a / n)}
                  : std::array<uint8_t, 4>{0, 0, 0, 0};
    }
  return image;
}

void put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8 & 0xFF));
}
void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void put32be(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift & 0xFF));
}

// An icon entry as a bitmap: the header, the colours bottom-up in BGRA and
// the all-clear AND mask (the alpha channel does the masking).
std::string bitmapEntry(const Image& image, int size) {
  std::string out;
  put32(out, 40);
  put32(out, static_cast<uint32_t>(size));
  put32(out, static_cast<uint32_t>(size * 2));  // colours and mask
  put16(out, 1);
  put16(out, 32);
  put32(out, 0);  // BI_RGB
  const uint32_t maskRow = static_cast<uint32_t>((size + 31) / 32 * 4);
  put32(out, static_cast<uint32_t>(size * size * 4) + maskRow * size);
  for (int i = 0; i < 4; ++i) put32(out, 0);
  for (int y = size - 1; y >= 0; --y)
    for (int x = 0; x < size; ++x) {
      const auto& p = image[static_cast<size_t>(y) * size + x];
      out += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0]), static_cast<char>(p[3])};
    }
  out.append(maskRow * size, '\0');
  return out;
}

void pngChunk(std::string& out, const char* type, const std::string& data) {
  put32be(out, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  put32be(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// An icon entry as PNG, which Windows reads for the 256-pixel size.
std::string pngEntry(const Image& image, int size) {
  std::string raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back('\0');  // no filter
    for (int x = 0; x < size; ++x)
      for (uint8_t v : image[static_cast<size_t>(y) * size + x]) raw.push_back(static_cast<char>(v));
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), 9) != Z_OK)
    return {};
  packed.resize(packedSize);
  std::string header;
  put32be(header, static_cast<uint32_t>(size));
  put32be(header, static_cast<uint32_t>(size));
  header += {8, 6, 0, 0, 0};  // 8 bits, RGBA, deflate, no filter, no interlace
  std::string out = "\x89PNG\r\n\x1a\n";
  pngChunk(out, "IHDR", header);
  pngChunk(out, "IDAT", packed);
  pngChunk(out, "IEND", {});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon <output.ico>\n");
    return 2;
  }
  const int sizes[] = {16, 32, 48, 256};
  std::vector<std::string> entries;
  for (int size : sizes) {
    const Image image = render(size);
    entries.push_back(size == 256 ? pngEntry(image, size) : bitmapEntry(image, size));
    if (entries.back().empty()) return 1;
  }
  std::string file;
  put16(file, 0);
  put16(file, 1);  // an icon
  put16(file, static_cast<uint32_t>(entries.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const int size = sizes[i];
    file.push_back(static_cast<char>(size == 256 ? 0 : size));  // 0 means 256
    file.push_back(static_cast<char>(size == 256 ? 0 : size));
    file.push_back('\0');  // no palette
    file.push_back('\0');
    put16(file, 1);   // planes
    put16(file, 32);  // bits per pixel
    put32(file, static_cast<uint32_t>(entries[i].size()));
    put32(file, offset);
    offset += static_cast<uint32_t>(entries[i].size());
  }
  for (const std::string& entry : entries) file += entry;
  // Beside, then renamed: a build cut short leaves no torn icon behind.
  const std::string target = argv[1];
  const std::string partial = target + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    if (!out) return 1;
  }
  return std::rename(partial.c_str(), target.c_str()) == 0 ? 0 : 1;
}
