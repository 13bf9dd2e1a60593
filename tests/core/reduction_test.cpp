// Colour reduction and ordered dithering beside literal references: the census in 6553 chained
// buckets, the median cut with a full sort, a linear nearest-entry search and a linear
// find-or-add palette, pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <tuple>

#include "processing/filter.h"
#include "tests/core/test_support.h"

namespace {

// Colours packed as blue | green << 8 | red << 16, as PixelValue gives them.
int Chan(uint32_t c, int i) { return static_cast<int>(c >> (8 * i) & 255); }

struct Reduced { std::vector<uint32_t> palette; std::vector<int> index; bool asked = true, overflow = false; };

int FindOrAdd(std::vector<uint32_t>* palette, int* used, uint32_t c) {
  for (int i = 0; i < *used; ++i)
    if ((*palette)[i] == c) return i;
  (*palette)[*used] = c;
  return (*used)++;
}

// The reduction of the pixels px to n entries. An exact candidate (grey to 256, two-level to 2)
// keeps its own colours when they fit, else takes the ordinary road with its question.
Reduced ReferenceReduce(const std::vector<uint32_t>& px, int n, bool exact_candidate) {
  Reduced out;
  out.palette.assign(n, 0);
  if (exact_candidate) {
    int used = 0;
    for (uint32_t c : px) {
      if (used == n && std::find(out.palette.begin(), out.palette.end(), c) == out.palette.end()) break;
      out.index.push_back(FindOrAdd(&out.palette, &used, c));
    }
    out.asked = out.index.size() < px.size();
    if (!out.asked) return out;
    out.index.clear();
    out.palette.assign(n, 0);
  }
  struct Node { uint32_t colour, count; };
  std::vector<std::vector<Node>> buckets(6553);
  for (uint32_t c : px) {
    auto& list = buckets[((Chan(c, 2) * 33023 + Chan(c, 1) * 33013 + Chan(c, 0) * 27011) & 0x7FFFFFFF) % 6553];
    auto it = std::find_if(list.begin(), list.end(), [c](const Node& e) { return e.colour == c; });
    if (it == list.end()) list.push_back(Node{c, 1}); else ++it->count;
  }
  std::vector<Node> e;
  for (const auto& list : buckets) e.insert(e.end(), list.begin(), list.end());
  struct Box { size_t first, colours, pixels; };
  std::vector<Box> boxes{{0, e.size(), px.size()}};
  while (static_cast<int>(boxes.size()) < n) {
    int b = -1;
    for (size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i].colours >= 2 && (b < 0 || boxes[i].pixels > boxes[b].pixels)) b = static_cast<int>(i);
    if (b < 0) { out.overflow = true; break; }
    Box box = boxes[b];
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (size_t i = box.first; i < box.first + box.colours; ++i)
      for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], Chan(e[i].colour, c)), hi[c] = std::max(hi[c], Chan(e[i].colour, c));
    const int rb = hi[0] - lo[0], rg = hi[1] - lo[1], rr = hi[2] - lo[2];
    const int key = rr >= rg && rr >= rb ? 2 : rb > rg ? 0 : 1;
    // The order of equal keys is open; both sides take the whole colour as the next key.
    std::sort(e.begin() + box.first, e.begin() + box.first + box.colours, [key](const Node& x, const Node& y) {
      return Chan(x.colour, key) != Chan(y.colour, key) ? Chan(x.colour, key) > Chan(y.colour, key) : x.colour > y.colour;
    });
    size_t a = e[box.first].count, k = 1;
    while (k < box.colours - 1 && a < box.pixels / 2) a += e[box.first + k++].count;
    boxes[b] = Box{box.first, k, a};
    boxes.push_back(Box{box.first + k, box.colours - k, box.pixels - a});
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    uint64_t s[3] = {}, t = 0;
    for (size_t j = boxes[i].first; j < boxes[i].first + boxes[i].colours; ++j) {
      for (int c = 0; c < 3; ++c) s[c] += uint64_t{e[j].count} * Chan(e[j].colour, c);
      t += e[j].count;
    }
    out.palette[i] = static_cast<uint32_t>(s[0] / t | (s[1] / t) << 8 | (s[2] / t) << 16);
  }
  for (uint32_t c : px) {
    int best = 0, best_d = 1 << 30;
    for (int i = 0; i < n; ++i) {
      int d = 0;
      for (int k = 0; k < 3; ++k) d += (Chan(c, k) - Chan(out.palette[i], k)) * (Chan(c, k) - Chan(out.palette[i], k));
      if (d < best_d) best = i, best_d = d;
    }
    out.index.push_back(best);
  }
  return out;
}

const std::string kQuestion = BoxText(MessageText(kMsgTakesTime), kCaptionQuestion, 33, true);
const std::string kOverflow = BoxText(MessageText(kMsgColourOverflow), nullptr, 16, false);
const std::string kNoNeed = BoxText(MessageText(kMsgNoReduction), "Information", 64, false);

void ExpectSame(const DibImage* got, const Reduced& want) {
  ASSERT_TRUE(got);
  ASSERT_EQ(got->colours, want.palette.size());
  for (size_t i = 0; i < want.palette.size(); ++i) {
    const RGBQUAD q = Palette(got)[i];
    ASSERT_EQ(q.rgbBlue | q.rgbGreen << 8 | q.rgbRed << 16 | q.rgbReserved << 24, want.palette[i]) << "entry " << i;
  }
  for (int y = 0, i = 0; y < Height(got); ++y)
    for (int x = 0; x < Width(got); ++x, ++i) ASSERT_EQ(PixelValue(got, x, y), want.index[i]) << x << "," << y;
}

enum Kind { kFew, kNoise, kGrey, kTwoLevel, kBlackWhite, kIndexed, kRle8, kDirect };

// A source image: 24-bit ones with a chosen kind of colours (kFew: components from a small
// set, so that sort keys tie), the other depths filled at random.
ImagePtr Source(Kind kind, int bpp, int w, int h, uint32_t seed) {
  ImagePtr image = RandomImage(w, h, kind <= kBlackWhite ? 24 : bpp, seed);
  if (kind == kRle8) EncodeRle(image.get());
  if (kind > kBlackWhite) return image;
  static const uint8_t kFewValues[5] = {0, 40, 41, 200, 255};
  for (int y = 0; y < h; ++y) {
    uint8_t* p = RowAddress(image.get(), y);
    for (int x = 0; x < 3 * w; ++x)
      if (kind == kFew) p[x] = kFewValues[p[x] % 5];
      else if (kind == kGrey || kind == kBlackWhite) p[x] = x % 3 ? p[x - x % 3] : (kind == kGrey ? p[x] : (p[x] & 1) * 255);
      else if (kind == kTwoLevel) p[x] = (p[x] & 1) * 255;
  }
  return image;
}

TEST(ReduceColors, EveryDepthAndShapeMatchesTheLiteralReduction) {
  const struct { Kind kind; int bpp; } kSources[] = {{kFew, 24}, {kGrey, 24}, {kTwoLevel, 24}, {kBlackWhite, 24},
      {kIndexed, 1}, {kIndexed, 4}, {kIndexed, 8}, {kRle8, 8}, {kDirect, 16}, {kDirect, 32}};
  const struct { int w, h; } kSizes[] = {{1, 1}, {2, 2}, {37, 1}, {1, 29}, {61, 43}};
  std::vector<std::tuple<Kind, int, int, int>> cases;
  for (const auto& s : kSources)
    for (const auto& z : kSizes) cases.emplace_back(s.kind, s.bpp, z.w, z.h);
  cases.emplace_back(kNoise, 24, 97, 61);  // thousands of colours: the census table grows
  for (const auto& [kind, bpp, w, h] : cases)
    for (const int command : {168, 169, 170}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " bpp " << bpp << " " << w << "x" << h << " command " << command);
      Filter doc;
      Commit(doc, Source(kind, bpp, w, h, static_cast<uint32_t>(w * 7 + h + bpp)));
      RecordingChannel channel;
      ImagePtr got(doc.ReduceColors(doc.current_, command));
      const int n = command == 168 ? 256 : command == 169 ? 16 : 2;
      if (BitCount(doc.current_) <= (command == 168 ? 8 : command == 169 ? 4 : 1)) {
        EXPECT_FALSE(got);
        EXPECT_EQ(Shown(channel), kNoNeed);
        continue;
      }
      ImagePtr w24(doc.MakeTrueColorCopy(doc.current_));
      std::vector<uint32_t> px;
      for (int i = 0; i < w * h; ++i) px.push_back(PixelValue(w24.get(), i % w, i / w));
      const bool exact = (command == 168 && Filter::IsGrayImage(doc.current_)) ||
                         (command == 170 && Filter::IsTwoLevelImage(doc.current_));
      const Reduced want = ReferenceReduce(px, n, exact);
      ExpectSame(got.get(), want);
      EXPECT_EQ(Shown(channel), (want.asked ? kQuestion : "") + (want.overflow ? kOverflow : ""));
    }
}

TEST(ReduceColors, CancelStopsAtTheQuestionAndProgressStepsPerRowAndSplit) {
  Filter doc;
  Commit(doc, Source(kFew, 24, 2, 300, 1));
  RecordingChannel channel;
  channel.answers = {IDCANCEL};
  EXPECT_FALSE(doc.ReduceColors(doc.current_, 169));
  EXPECT_EQ(Shown(channel), kQuestion);
  EXPECT_TRUE(channel.progress.empty());
  ImagePtr reduced(doc.ReduceColors(doc.current_, 169));
  // The census steps before each row, those that would not move the counter passed over; the
  // cut before each split.
  const auto& p = channel.progress;
  const size_t cut = std::find(p.begin(), p.end(), std::string("begin:") + ProgressCaptionText(kProgressMedianCut)) - p.begin();
  ASSERT_LT(cut, 103u);
  EXPECT_EQ(p[0] + p[1] + p[cut - 1], std::string("begin:") + ProgressCaptionText(kProgressHashing) + "0 / 300end");
  EXPECT_EQ(p[cut + 1] + p[cut + 15] + p.back(), "1 / 1615 / 16end");
}

// The dither tables as listed: levels by their first values, remainders row by row.
int Q(int v) { return v < 36 ? 0 : v < 73 ? 1 : v < 109 ? 2 : v < 146 ? 3 : v < 182 ? 4 : v < 218 ? 5 : v < 255 ? 6 : 7; }
std::vector<int> RemainderTable() {
  std::istringstream rows(
      "0 2 4 6 8 10 12 14 15 17 19 21 22 24 26 28 29 31 33 35 36 38 40 42 43 45 47 49 50 52 54 56 57 59 61 63 "
      "0 2 4 5 7 9 11 12 14 16 18 19 21 23 25 26 28 30 32 33 35 37 39 40 42 44 46 47 39 51 53 54 56 58 60 61 63 "
      "1 3 4 6 8 10 11 13 15 17 18 20 22 24 25 27 29 31 32 34 36 38 39 41 43 45 46 48 50 52 53 55 57 59 60 62 "
      "0 2 3 5 7 9 10 12 14 16 17 19 21 23 24 26 28 30 31 33 35 37 38 40 42 44 45 47 49 51 52 54 56 58 59 61 63 "
      "1 2 4 6 8 9 11 13 15 16 18 20 22 23 25 27 29 30 32 34 36 37 39 41 43 44 46 48 50 51 53 55 57 58 60 62 "
      "0 1 3 5 7 8 10 12 14 15 17 19 21 22 24 26 28 29 31 33 35 36 38 40 42 43 45 47 49 50 52 54 56 57 59 61 63 "
      "0 2 4 6 7 9 11 13 14 16 18 20 21 23 25 27 28 30 32 34 35 37 39 41 42 44 46 48 49 51 53 55 56 58 60 62 0");
  std::vector<int> e;
  for (int v; rows >> v;) e.push_back(v);
  return e;
}
const int kM[64] = {0,  32, 8,  40, 2,  34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26, 12, 44, 4,  36, 14, 46,
                    6,  38, 60, 28, 52, 20, 62, 30, 54, 22, 3,  35, 11, 43, 1,  33, 9,  41, 51, 19, 59, 27,
                    49, 17, 57, 25, 15, 47, 7,  39, 13, 45, 5,  37, 63, 31, 55, 23, 61, 29, 53, 21};

TEST(DitherTo256, MatchesTheLiteralTablesAndPaletteSearch) {
  const std::vector<int> e = RemainderTable();
  ASSERT_EQ(e.size(), 256u);
  auto tg = [&](int v, int p) { return (Q(v) + (e[v] > kM[p] ? 1 : 0)) * 32; };
  auto tb = [&](int v, int p) { const int j = v * 109 / 255; return (Q(j) + (e[j] > kM[p] ? 1 : 0)) * 64; };
  struct Case { int w, h, bpp; bool ramp; };
  for (const Case c : {Case{128, 256, 24, true}, Case{1, 1, 24, false}, Case{13, 5, 24, false}, Case{16, 16, 24, false},
                       Case{9, 7, 4, false}, Case{40, 3, 16, false}, Case{3, 11, 32, false}}) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " bpp " << c.bpp);
    Filter doc;
    ImagePtr image = RandomImage(c.w, c.h, c.bpp, 3);
    for (int y = 0; c.bpp == 24 && y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        // The ramp meets every value at every matrix position; the 16 x 16 case is grey 128.
        const int v = (x / 8 + 16 * (y / 8)) & 255;
        uint8_t* p = RowAddress(image.get(), y) + 3 * x;
        if (c.ramp) p[0] = v, p[1] = 255 - v, p[2] = v * 7 & 255;
        if (c.w == 16) std::memset(p, 128, 3);
      }
    Commit(doc, std::move(image));
    RecordingChannel channel;
    ImagePtr got(doc.DitherTo256(doc.current_, 187));
    ImagePtr w24(doc.MakeTrueColorCopy(doc.current_));
    Reduced want;
    want.palette.assign(256, 0);
    int used = 0;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const uint32_t px = PixelValue(w24.get(), x, y);
        const int p = x % 8 + 8 * (y % 8);
        const uint32_t colour = tb(Chan(px, 0), p) | tg(Chan(px, 1), p) << 8 | tg(Chan(px, 2), p) << 16;
        want.index.push_back(FindOrAdd(&want.palette, &used, colour));
      }
    ExpectSame(got.get(), want);
    EXPECT_TRUE(channel.boxes.empty());
    // Grey 128: j = 54, blue 128 where the remainder 28 is above the threshold, else 64.
    EXPECT_TRUE(c.w != 16 || (want.palette[0] == 0x808080u && want.palette[1] == 0x808040u));
  }
}

}  // namespace
