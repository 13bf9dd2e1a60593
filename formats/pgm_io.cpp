#include "formats/pgm_io.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/messages.h"

namespace {

bool Refuse(const char* reason) {
  ShowRefusal(kMsgUnsupported, reason);
  return false;
}

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The header's next number: white space of any kind and comments ("#" to the end of the line)
// before it, a white space or a comment after it. -1 for anything else, -2 at the end of the
// file; numbers above what the program can take read as -1 too.
long HeaderNumber(std::FILE* stream) {
  int c = std::fgetc(stream);
  for (;;) {
    if (c == '#') {
      while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(stream);
    } else if (c != EOF && IsBlank(c)) {
      c = std::fgetc(stream);
    } else {
      break;
    }
  }
  if (c == EOF) return -2;
  long v = 0;
  const int first = c;
  for (; c >= '0' && c <= '9'; c = std::fgetc(stream))
    if ((v = v * 10 + (c - '0')) > 0x7FFFFFF) return -1;
  if (first < '0' || first > '9') return -1;
  if (c == '#') std::ungetc(c, stream);
  else if (c != EOF && !IsBlank(c)) return -1;
  return v;  // the one white space after the number is taken
}

// Samples 0..maximum to 0..255, rounded. Samples are clamped to the maximum before the lookup.
std::vector<uint8_t> ScaleTable(int maximum) {
  std::vector<uint8_t> table(static_cast<size_t>(maximum) + 1);
  for (int v = 0; v <= maximum; ++v)
    table[static_cast<size_t>(v)] = static_cast<uint8_t>((static_cast<uint32_t>(v) * 255 + maximum / 2) / maximum);
  return table;
}

// Buffered reading of the ASCII samples.
class TextReader {
 public:
  explicit TextReader(FILE* stream) : stream_(stream), buffer_(65536) {}
  int Get() {
    if (pos_ == len_) {
      len_ = std::fread(buffer_.data(), 1, buffer_.size(), stream_);
      pos_ = 0;
      if (len_ == 0) return EOF;
    }
    return buffer_[pos_++];
  }
  int NextNonBlank() {
    int c;
    do c = Get();
    while (c != EOF && IsBlank(c));
    return c;
  }
  // The next decimal number, clamped to 0..maximum; false (for good) once a number cannot be
  // read, so the caller keeps its previous value.
  bool Number(int maximum, int* value) {
    if (failed_) return false;
    int c = NextNonBlank();
    bool negative = false;
    if (c == '-' || c == '+') {
      negative = c == '-';
      c = Get();
    }
    if (c < '0' || c > '9') return Fail();
    long v = 0;
    for (; c >= '0' && c <= '9'; c = Get())
      if (v <= maximum) v = v * 10 + (c - '0');
    *value = negative ? 0 : v > maximum ? maximum : static_cast<int>(v);
    return true;
  }
  // The next bitmap digit (digits need no blanks between them).
  bool Digit(int* value) {
    if (failed_) return false;
    const int c = NextNonBlank();
    if (c < '0' || c > '9') return Fail();
    *value = c - '0';
    return true;
  }

 private:
  bool Fail() {
    failed_ = true;
    return false;
  }
  FILE* stream_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, len_ = 0;
  bool failed_ = false;
};

// Text of 0..255 for the ASCII writers.
struct NumberTexts {
  char text[256][4];
  uint8_t length[256];
  NumberTexts() {
    for (int v = 0; v < 256; ++v) length[v] = static_cast<uint8_t>(std::snprintf(text[v], 4, "%d", v));
  }
};

}  // namespace

bool PgmIOClass::OpenRead(const char* path) { return OpenStream(path, "rb"); }

bool PgmIOClass::OpenWrite(const char* path) { return OpenStream(path, "wb"); }

int PgmIOClass::CloseRead() { return CloseStream() ? 1 : 0; }

int PgmIOClass::CloseWrite() { return CloseStream() ? 1 : 0; }

bool PgmIOClass::WriteHeader(const DibImage*) { return true; }

bool PgmIOClass::ReadHeader(DibImage* image) {
  // "P1" ... "P6", then width, height and (but for the bitmaps) the maximum sample value, each
  // after any white space and comments; the pixels start after the single white space that
  // ends the last of them. (The whole header may stand on one line.)
  variant_ = 0;
  maximum_ = 0;
  char magic[2] = {0, 0};
  const int blank = std::fread(magic, 1, 2, stream_) == 2 ? std::fgetc(stream_) : EOF;
  if (magic[0] != 'P' || magic[1] < '1' || magic[1] > '6' || blank == EOF || !(IsBlank(blank) || blank == '#'))
    return Refuse("not a PNM file");
  if (blank == '#') std::ungetc(blank, stream_);
  variant_ = magic[1] - '0';
  static const uint32_t kFormats[7] = {0, kFormatPbm, kFormatPgm, kFormatPpm, kFormatPbm, kFormatPgm, kFormatPpm};
  image->format = kFormats[variant_];
  image->details->second = static_cast<uint32_t>(variant_);
  const long width = HeaderNumber(stream_), height = width < 0 ? width : HeaderNumber(stream_);
  if (width == -2 || height == -2) return Refuse("truncated header");
  if (width <= 0 || height <= 0) return Refuse("invalid header: the size is not two whole numbers above 0");
  if (variant_ != 1 && variant_ != 4) {
    const long maximum = HeaderNumber(stream_);
    if (maximum == -2) return Refuse("truncated header");
    if (maximum < 1 || maximum > 65535) return Refuse("invalid header: the maximum value is not 1 to 65535");
    maximum_ = static_cast<int32_t>(maximum);
    image->details->first = static_cast<uint32_t>(maximum_);
  }
  const uint32_t stride = CheckedStride(width, height, 24);
  if (!stride) return Refuse(SizeProblem(width, height, 24).c_str());

  // The smallest number of bytes that can hold the samples: one per bitmap digit, a digit and
  // a blank per ASCII sample, the packed rows of P4, one or two bytes per binary sample. A last
  // row cut short is tolerated (its missing samples read as described in ReadBits).
  const uint64_t w = static_cast<uint64_t>(width);
  const uint64_t bytes_per_sample = maximum_ > 255 ? 2 : 1;
  uint64_t row = 0;
  switch (variant_) {
    case 1: row = w; break;
    case 2: row = 2 * w; break;
    case 3: row = 6 * w; break;
    case 4: row = (w + 7) / 8; break;
    case 5: row = w * bytes_per_sample; break;
    default: row = 3 * w * bytes_per_sample; break;
  }
  const uint64_t left = BytesLeft();
  if (left < row * static_cast<uint64_t>(height - 1)) {
    char reason[80];
    std::snprintf(reason, sizeof reason, "truncated: pixel data for %llu of %ld rows",
                  static_cast<unsigned long long>(row ? left / row : 0), height);
    return Refuse(reason);
  }

  BITMAPINFOHEADER& hd = image->info->bmiHeader;
  hd.biWidth = static_cast<LONG>(width);
  hd.biHeight = static_cast<LONG>(height);
  hd.biBitCount = 24;
  hd.biCompression = BI_RGB;
  hd.biClrUsed = 0;
  image->colours = 0;
  image->stride = stride;
  hd.biSizeImage = stride * static_cast<uint32_t>(height);
  return true;
}

bool PgmIOClass::ReadBits(DibImage* image) {
  if (variant_ < 1 || variant_ > 6 || BitCount(image) != 24) return Refuse("no header read");
  return variant_ <= 3 ? ReadAscii(image) : ReadBinary(image);
}

bool PgmIOClass::ReadAscii(DibImage* image) {
  const int width = Width(image), height = Height(image);
  const int maximum = variant_ == 1 ? 1 : maximum_;
  const std::vector<uint8_t> scale = ScaleTable(maximum);
  TextReader in(stream_);
  int v[3] = {0, 0, 0};  // a sample that cannot be read keeps the value before it
  for (int y = 0; y < height; ++y) {
    uint8_t* p = RowAddress(image, y);
    for (int x = 0; x < width; ++x, p += 3) {
      if (variant_ == 1) {
        in.Digit(&v[0]);
        p[0] = p[1] = p[2] = v[0] == 1 ? 0 : 255;
      } else if (variant_ == 2) {
        in.Number(maximum, &v[0]);
        p[0] = p[1] = p[2] = scale[static_cast<size_t>(v[0])];
      } else {
        in.Number(maximum, &v[0]);
        in.Number(maximum, &v[1]);
        in.Number(maximum, &v[2]);
        p[0] = scale[static_cast<size_t>(v[2])];
        p[1] = scale[static_cast<size_t>(v[1])];
        p[2] = scale[static_cast<size_t>(v[0])];
      }
    }
  }
  return true;
}

bool PgmIOClass::ReadBinary(DibImage* image) {
  const int width = Width(image), height = Height(image);
  const size_t w = static_cast<size_t>(width);
  const int maximum = maximum_ > 0 ? maximum_ : 255;
  const bool wide = maximum > 255;
  const size_t channels = variant_ == 6 ? 3 : 1;
  const size_t row_bytes = variant_ == 4 ? (w + 7) / 8 : w * channels * (wide ? 2 : 1);
  const std::vector<uint8_t> scale = ScaleTable(maximum);
  std::vector<uint8_t> row(row_bytes);
  for (int y = 0; y < height; ++y) {
    // Bytes past the end of the file read as 255.
    const size_t got = std::fread(row.data(), 1, row_bytes, stream_);
    if (got < row_bytes) std::memset(row.data() + got, 0xFF, row_bytes - got);
    uint8_t* p = RowAddress(image, y);
    const uint8_t* s = row.data();
    if (variant_ == 4) {
      for (size_t x = 0; x < w; ++x, p += 3) p[0] = p[1] = p[2] = (s[x >> 3] >> (7 - (x & 7))) & 1 ? 0 : 255;
      continue;
    }
    const size_t samples = w * channels;
    uint8_t* out = p;
    if (wide) {
      for (size_t i = 0; i < samples; ++i, s += 2) {
        const int v = s[0] << 8 | s[1];
        out[i] = scale[static_cast<size_t>(v > maximum ? maximum : v)];
      }
    } else {
      for (size_t i = 0; i < samples; ++i) out[i] = scale[s[i] > maximum ? maximum : s[i]];
    }
    // The scaled samples sit at the row's start: red, green, blue triples are turned into blue,
    // green, red; single greys are spread over three bytes from the right end backwards.
    if (channels == 3) {
      for (size_t x = 0; x < w; ++x, p += 3) {
        const uint8_t r = p[0];
        p[0] = p[2];
        p[2] = r;
      }
    } else {
      for (size_t x = w; x-- > 0;) p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = out[x];
    }
  }
  return true;
}

bool PgmIOClass::WriteBits(const DibImage* image) {
  const int option = save_option_;
  if (option < 1 || option > 6 || BitCount(image) != 24 || image->info->bmiHeader.biCompression != BI_RGB)
    return false;
  const int width = Width(image), height = Height(image);
  const size_t w = static_cast<size_t>(width);
  char head[64];
  const int head_length = std::snprintf(head, sizeof head, option == 1 || option == 4 ? "P%d\n%d %d\n" : "P%d\n%d %d\n255\n",
                                        option, width, height);
  if (std::fwrite(head, 1, static_cast<size_t>(head_length), stream_) != static_cast<size_t>(head_length)) return false;

  std::vector<uint8_t> out;
  if (option >= 4) {
    out.resize(option == 4 ? (w + 7) / 8 : option == 5 ? w : 3 * w);
    for (int y = 0; y < height; ++y) {
      const uint8_t* p = RowAddress(image, y);
      uint8_t* o = out.data();
      if (option == 4) {
        std::memset(o, 0, out.size());  // the last byte of a row is completed with 0 bits
        for (size_t x = 0; x < w; ++x, p += 3)
          if (p[0] < 255) o[x >> 3] = static_cast<uint8_t>(o[x >> 3] | 0x80 >> (x & 7));
      } else if (option == 5) {
        for (size_t x = 0; x < w; ++x, p += 3) o[x] = p[0];
      } else {
        for (size_t x = 0; x < w; ++x, p += 3, o += 3) {
          o[0] = p[2];
          o[1] = p[1];
          o[2] = p[0];
        }
      }
      if (std::fwrite(out.data(), 1, out.size(), stream_) != out.size()) return false;
    }
    return true;
  }

  // ASCII: after the value (or the triple) of column x a line feed when x is a multiple of the
  // variant's step, else one blank.
  static const NumberTexts numbers;
  const size_t step = option == 1 ? 30 : option == 2 ? 48 : 16;
  out.reserve(12 * w + 16);
  auto append = [&out](uint8_t v) { out.insert(out.end(), numbers.text[v], numbers.text[v] + numbers.length[v]); };
  for (int y = 0; y < height; ++y) {
    out.clear();
    const uint8_t* p = RowAddress(image, y);
    for (size_t x = 0; x < w; ++x, p += 3) {
      if (option == 1) {
        out.push_back(p[0] < 255 ? '1' : '0');
      } else if (option == 2) {
        append(p[0]);  // the blue byte of a grey image
      } else {
        append(p[2]);
        out.push_back(' ');
        append(p[1]);
        out.push_back(' ');
        append(p[0]);
      }
      out.push_back(x % step == 0 ? '\n' : ' ');
    }
    if (std::fwrite(out.data(), 1, out.size(), stream_) != out.size()) return false;
  }
  return true;
}
