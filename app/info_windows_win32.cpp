// The information window's fields and the histogram window's curves, both following the document.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/cmd_class_win32.h"
#include "document/image_info.h"

namespace {

constexpr COLORREF kFace = RGB(236, 233, 216);
constexpr int kBase = 160, kCurveHeight = 140, kLeft = 25;

// One curve: counts[0..255] scaled so that the highest count is kCurveHeight pixels tall.
void DrawCurve(HDC dc, const uint32_t* counts, uint32_t highest, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, 0, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  auto height = [&](int v) {
    return highest ? kBase - static_cast<int>(static_cast<uint64_t>(counts[v]) * kCurveHeight / highest) : kBase;
  };
  MoveToEx(dc, kLeft, height(0), nullptr);
  for (int v = 0; v < 256; ++v) LineTo(dc, kLeft + v, height(v));
  SelectObject(dc, old);
  DeleteObject(pen);
}

void TextAt(HDC dc, int x, int y, const char* text) { TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text))); }

}  // namespace

void CmdClass::FillInformationWindow() {
  if (!info_window_ || image_count_ == 0) return;
  char long_path[MAX_PATH] = "";
  const char* path = GetLongPathNameA(current_->path, long_path, sizeof long_path) ? long_path : nullptr;
  const auto fields = InformationFields(as_loaded_, current_, path);
  for (int i = 0; i < kInformationFields; ++i)
    SetDlgItemTextA(info_window_, kFirstInformationField + i, fields[static_cast<size_t>(i)].c_str());
  UpdateWindow(info_window_);
}

bool CmdClass::ComputeHistogram() {
  if (!histogram_window_ || image_count_ == 0) return true;
  std::unique_ptr<Dib24> ops = CreatePixelOps(current_);
  std::unique_ptr<HistogramRecord> record = ops ? ops->MakeHistogram(current_) : nullptr;
  if (!record) {
    histogram_window_ = nullptr;  // forgotten, as the window cannot show this image
    return false;
  }
  histogram_ = std::move(record);
  DrawHistogram();
  return true;
}

void CmdClass::DrawHistogram() {
  if (!histogram_window_ || !histogram_) return;
  const uint32_t* w = histogram_->w;
  HDC dc = GetDC(histogram_window_);
  RECT client;
  GetClientRect(histogram_window_, &client);
  HBRUSH face = CreateSolidBrush(kFace);
  FillRect(dc, &client, face);
  DeleteObject(face);
  SetBkMode(dc, TRANSPARENT);
  HFONT font = CreateFontA(14, 6, 0, 0, 100, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, PROOF_QUALITY, VARIABLE_PITCH, "HGPｺﾞｼｯｸE");
  HGDIOBJ old_font = SelectObject(dc, font);
  SetTextColor(dc, RGB(0, 0, 0));
  const struct { int x; const char* text; } scale[] = {{21, "0"}, {65, "50"}, {115, "100"}, {165, "150"}, {215, "200"}, {271, "255"}};
  for (const auto& s : scale) TextAt(dc, s.x, 165, s.text);
  HPEN axis = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
  HGDIOBJ old_pen = SelectObject(dc, axis);
  MoveToEx(dc, 25, 161, nullptr);
  LineTo(dc, 281, 161);
  for (int x = 25; x <= 275; x += 50) {
    MoveToEx(dc, x, 161, nullptr);
    LineTo(dc, x, 156);
  }
  SelectObject(dc, old_pen);
  DeleteObject(axis);
  struct Curve { int counts, peak; COLORREF colour; const char* label; };
  const Curve colour[] = {{HistogramRecord::kRed, 2, RGB(255, 0, 0), "赤"},
                          {HistogramRecord::kGreen, 1, RGB(0, 255, 0), "緑"},
                          {HistogramRecord::kBlue, 0, RGB(0, 0, 255), "青"}};
  const Curve grey[] = {{HistogramRecord::kRed, 2, RGB(0, 0, 0), "白黒"}};
  const bool is_grey = w[HistogramRecord::kGrey] != 0;
  const Curve* curves = is_grey ? grey : colour;
  for (int k = 0; k < (is_grey ? 1 : 3); ++k) {
    const Curve& c = curves[k];
    const uint32_t highest = w[HistogramRecord::kPeakCount + c.peak];
    DrawCurve(dc, w + c.counts, highest, c.colour);
    SetTextColor(dc, c.colour);
    TextAt(dc, 25, 210 + 40 * k, c.label);
    char text[64];
    std::snprintf(text, sizeof text, "最大値=%ld", static_cast<long>(w[HistogramRecord::kPeakValue + c.peak]));
    TextAt(dc, 55, 200 + 40 * k, text);
    std::snprintf(text, sizeof text, "最大個数=%ld", static_cast<long>(highest));
    TextAt(dc, 55, 220 + 40 * k, text);
  }
  SelectObject(dc, old_font);
  DeleteObject(font);
  ReleaseDC(histogram_window_, dc);
  // What was drawn stands: the window is not painted over it.
  ValidateRect(histogram_window_, nullptr);
}
