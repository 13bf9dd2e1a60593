#include "processing/operation_table.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "processing/adjust.h"
#include "processing/filter.h"
#include "processing/true_colour_work.h"

namespace {

constexpr OperationValue Whole(const char* name, double low, double high, double initial) {
  return OperationValue{name, low, high, initial, true};
}
constexpr OperationValue Real(const char* name, double low, double high, double initial) {
  return OperationValue{name, low, high, initial, false};
}

}  // namespace

const OperationEntry kOperations[] = {
    {108, "negative", 0, {}, false, false},
    {109, "grey", 0, {}, false, false},
    {110, "sepia", 0, {}, false, false},
    {111, "rgb-two-level", 0, {}, false, false},
    {112, "two-level", 0, {}, false, false},
    {113, "brighten-darks", 0, {}, false, false},
    {114, "darken-lights", 0, {}, false, false},
    {115, "contrast", 0, {}, false, false},
    {116, "gamma", 1, {Real("gamma", 0.01, 3.0, 1.0)}, false, false},
    {117, "linear-contrast", 4,
     {Whole("a", 0, 255, 255), Whole("b", 0, 255, 0), Whole("c", 0, 255, 255), Whole("d", 0, 255, 0)}, false, false},
    {118, "stretch", 0, {}, false, false},
    {119, "equalize", 0, {}, false, false},
    {120, "mosaic-medium", 0, {}, false, false},
    {121, "rgb", 3, {Whole("red", -255, 255, 0), Whole("green", -255, 255, 0), Whole("blue", -255, 255, 0)}, false, false},
    {122, "hsv", 3, {Whole("hue", 0, 360, 0), Real("saturation", -1, 1, 0), Whole("value", -100, 100, 0)}, false, false},
    {123, "flip", 0, {}, false, false},
    {124, "mirror", 0, {}, false, false},
    {125, "cone", 0, {}, false, false},
    {126, "sphere", 0, {}, false, false},
    {127, "ripple", 0, {}, false, false},
    {128, "rotate", 1, {Whole("angle", 0, 360, 0)}, false, false},
    {131, "alpha-blend", 1, {Whole("alpha", 0, 100, 50)}, true, false},
    {134, "box-3", 0, {}, false, false},
    {135, "box-5", 0, {}, false, false},
    {136, "weighted-weak", 0, {}, false, false},
    {137, "weighted-medium", 0, {}, false, false},
    {138, "weighted-1.5", 0, {}, false, false},
    {139, "weighted-strong", 0, {}, false, false},
    {140, "gaussian", 0, {}, false, false},
    {141, "sharpen-soft", 0, {}, false, false},
    {142, "sharpen-strong", 0, {}, false, false},
    {143, "emboss-light", 0, {}, false, false},
    {144, "emboss-dark", 0, {}, false, false},
    {145, "edge-difference", 0, {}, false, false},
    {146, "sobel", 0, {}, false, false},
    {147, "zero-crossing", 0, {}, false, true},
    {148, "contour", 0, {}, false, false},
    {149, "mosaic-small", 0, {}, false, false},
    {150, "mosaic-large", 0, {}, false, false},
    {151, "median", 0, {}, false, false},
    {152, "edge-preserving", 0, {}, false, false},
    {153, "gradation", 1, {Whole("levels", 2, 256, 256)}, false, false},
    {154, "resize", 2, {Real("x", 0.01, 100, 1), Real("y", 0.01, 100, 1)}, false, true},
    {155, "add", 0, {}, true, false},
    {156, "subtract", 0, {}, true, false},
    {157, "difference", 0, {}, true, false},
    {158, "multiply", 0, {}, true, false},
    {159, "and", 0, {}, true, false},
    {160, "or", 0, {}, true, false},
    {161, "xor", 0, {}, true, false},
    {162, "lighten", 0, {}, true, false},
    {163, "darken", 0, {}, true, false},
    {164, "dodge", 0, {}, true, false},
    {165, "burn", 0, {}, true, false},
    {166, "screen", 0, {}, true, false},
    {167, "overlay", 0, {}, true, false},
    {168, "reduce-256", 0, {}, false, true},
    {169, "reduce-16", 0, {}, false, true},
    {170, "reduce-2", 0, {}, false, true},
    {171, "radial-blur", 0, {}, false, false},
    {172, "spin-blur", 0, {}, false, false},
    {173, "waves-horizontal", 0, {}, false, false},
    {174, "waves-vertical", 0, {}, false, false},
    {178, "oil-paint", 0, {}, false, false},
    {179, "illustration", 0, {}, false, false},
    {182, "diffuse-1", 0, {}, false, false},
    {183, "diffuse-2", 0, {}, false, false},
    {186, "thin", 0, {}, false, false},
    {187, "dither-256", 0, {}, false, true},
    {191, "soft-focus", 0, {}, false, false},
    {192, "white-balance", 1, {Whole("temperature", -255, 255, 0)}, false, false},
    {0, nullptr, 0, {}, false, false},
};

const OperationEntry* FindOperation(int id) {
  for (const OperationEntry* e = kOperations; e->id; ++e)
    if (e->id == id) return e;
  return nullptr;
}

const OperationEntry* FindOperation(const char* name) {
  for (const OperationEntry* e = kOperations; e->id; ++e)
    if (std::strcmp(e->name, name) == 0) return e;
  return nullptr;
}

bool CheckOperationValues(const OperationEntry& entry, const double* values, int count, char* problem, int size) {
  if (count > entry.value_count) {
    if (entry.value_count == 0)
      std::snprintf(problem, static_cast<size_t>(size), "%s takes no values", entry.name);
    else
      std::snprintf(problem, static_cast<size_t>(size), "%s takes %d value%s", entry.name, entry.value_count,
                    entry.value_count == 1 ? "" : "s");
    return false;
  }
  for (int i = 0; i < count; ++i) {
    const OperationValue& v = entry.values[i];
    const bool whole = !v.whole || values[i] == std::floor(values[i]);
    if (!(values[i] >= v.low && values[i] <= v.high) || !whole) {
      std::snprintf(problem, static_cast<size_t>(size), "%s: %s takes %s from %g to %g", entry.name, v.name,
                    v.whole ? "a whole number" : "a number", v.low, v.high);
      return false;
    }
  }
  if (entry.id == 153 && count == 1) {  // the gradation trackbar offers powers of two
    const int levels = static_cast<int>(values[0]);
    if (levels & (levels - 1)) {
      std::snprintf(problem, static_cast<size_t>(size), "gradation: levels takes 2, 4, 8, 16, 32, 64, 128 or 256");
      return false;
    }
  }
  return true;
}

bool Filter::HasOperation(int command) { return FindOperation(command) != nullptr; }

bool Filter::PrepareBlend(DibImage* second) {
  if (pending_ == second) pending_ = current_;
  ImagePtr taken(second);
  if (image_count_ == 0 || !second) return false;
  ImagePtr copy(MakeTrueColorCopy(second));
  ImagePtr work(MakeTrueColorCopy(current_));
  if (!copy || !work) return false;
  if (work_) DeleteImage(work_);
  work_ = work.release();
  if (pending_ && pending_ != current_) DeleteImage(pending_);
  pending_ = copy.release();
  view_flags_ |= kViewBlendLoading;
  return true;
}

bool Filter::RunOperation(int command, const double* given, int given_count) {
  const OperationEntry* entry = FindOperation(command);
  if (!entry || image_count_ == 0) return false;
  double v[4] = {};
  for (int i = 0; i < entry->value_count; ++i) v[i] = i < given_count ? given[i] : entry->values[i].initial;
  // A new image written by a preview formula from the current image (read where it is when it
  // has 24 bits, else from its true-colour copy).
  auto adjust = [&](auto preview) {
    TrueColorSource source;
    if (!source.Make(*this, current_)) return false;
    ImagePtr out(NewTrueColorLike(*this, current_));
    if (!out) return false;
    preview(source.get(), out.get());
    return SetResult(out.release());
  };
  auto returned = [&](DibImage* image) { return SetResult(image); };
  switch (command) {
    case 108: return ApplyNegative();
    case 109:
    case 110: return ApplyGrayOrSepia(command);
    case 111: return BinarizeRgb();
    case 112: return BinarizeGray();
    case 113:
    case 114:
    case 115: return ApplyToneCurve(command);
    case 116:
      return adjust([&](const DibImage* w, DibImage* o) { PreviewGamma(w, o, static_cast<int>(std::lround(v[0] * 100))); });
    case 117:
      return adjust([&](const DibImage* w, DibImage* o) {
        PreviewLinearContrast(w, o, static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3]));
      });
    case 118: return StretchHistogram();
    case 119: return EqualizeHistogram();
    case 120:
    case 149:
    case 150: return Mosaic(command);
    case 121:
      return adjust([&](const DibImage* w, DibImage* o) {
        PreviewRgb(w, o, static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]));
      });
    case 122:
      return adjust([&](const DibImage* w, DibImage* o) {
        PreviewHsv(w, o, static_cast<int>(v[0]), static_cast<int>(std::lround(v[1] * 100)), static_cast<int>(v[2]));
      });
    case 123:
    case 124: return Flip(command);
    case 125: return ConeMapping();
    case 126: return SphereMapping();
    case 127:
    case 173:
    case 174: return WaterSurface(command) == 1;
    case 128:
    case 154: {
      DibImage* copy = MakeTrueColorCopy(current_);
      if (!copy) return false;
      if (command == 128) return RotateImage(copy, v[0], 1.0, 1.0);
      pending_ = copy;
      ScaleImage(&v[0], &v[1]);
      return pending_ != current_;
    }
    case 131: return (view_flags_ & kViewBlendLoading) && AlphaBlend(static_cast<int>(v[0]));
    case 134: case 135: case 136: case 137: case 138: case 139: case 140: return Blur(command);
    case 141:
    case 142: return Sharpen(command);
    case 143:
    case 144: return Emboss(command);
    case 145:
    case 146:
    case 147: return DetectEdges(command);
    case 148: return EmphasizeContour(0);
    case 151: return MedianFilter();
    case 152: return EdgePreservingSmooth();
    case 153: return adjust([&](const DibImage* w, DibImage* o) { PreviewGradation(w, o, static_cast<int>(v[0])); });
    case 168:
    case 169:
    case 170: return returned(ReduceColors(current_, command));
    case 171:
    case 172: return RadialBlur(command, 30);
    case 178: return returned(OilPaint(current_));
    case 179: return returned(Illustrate(current_));
    case 182: return returned(Diffuse(current_, 10));
    case 183: return returned(Diffuse(current_, 80));
    case 186: return returned(Thin(current_));
    case 187: return returned(DitherTo256(current_, command));
    case 191: return SoftFocus();
    case 192: return adjust([&](const DibImage* w, DibImage* o) { PreviewWhiteBalance(w, o, static_cast<int>(v[0])); });
    default:
      if (command >= 155 && command <= 167) return (view_flags_ & kViewBlendLoading) && BlendImages(command);
      return false;
  }
}
