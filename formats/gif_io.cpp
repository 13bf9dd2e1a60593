#include "formats/gif_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/messages.h"
#include "formats/byte_order.h"
#include "formats/lzw.h"

namespace {

// File positions in 64 bits (the long of ftell and fseek has 32 bits on Windows).
int64_t Tell(std::FILE* stream) {
#ifdef _WIN32
  return ftello64(stream);
#else
  return ftello(stream);
#endif
}

bool SeekTo(std::FILE* stream, int64_t offset) {
#ifdef _WIN32
  return fseeko64(stream, offset, SEEK_SET) == 0;
#else
  return fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The data sub-blocks of one image, read from the file as the decoder asks for them.
class FileBlocks : public LzwSource {
 public:
  explicit FileBlocks(FILE* stream) : stream_(stream) {}
  int NextBlock(uint8_t* block) override {
    if (ended_) return 0;
    const int length = std::fgetc(stream_);
    if (length <= 0) {  // the zero-length block, or the end of the file
      ended_ = true;
      return 0;
    }
    const size_t got = std::fread(block, 1, static_cast<size_t>(length), stream_);
    if (got < static_cast<size_t>(length)) ended_ = true;
    return static_cast<int>(got);
  }

 private:
  FILE* stream_;
  bool ended_ = false;
};

// Rows of an image in the order the file stores them: in order, or in the four interlace passes.
class RowOrder {
 public:
  RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {}
  // The next row, or -1 when every row has come.
  int Next() {
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    if (!interlaced_) return row_ < height_ ? row_++ : -1;
    while (pass_ < 4) {
      if (row_ < height_) {
        const int r = row_;
        row_ += kStep[pass_];
        return r;
      }
      if (++pass_ < 4) row_ = kStart[pass_];
    }
    return -1;
  }

 private:
  int height_, row_ = 0, pass_ = 0;
  bool interlaced_;
};

int TableEntries(uint8_t packed) { return (packed & 0x80) ? 2 << (packed & 7) : 0; }

// One index per byte to a bitmap row of bpp (1, 4 or 8) bits per pixel; the row's padding up to
// stride is zeroed.
void PackRow(const uint8_t* s, int width, int bpp, uint8_t* d, size_t stride) {
  uint8_t* const start = d;
  if (bpp == 8) {
    std::memcpy(d, s, static_cast<size_t>(width));
    d += width;
  } else if (bpp == 4) {
    int x = 0;
    for (; x + 1 < width; x += 2) *d++ = static_cast<uint8_t>(s[x] << 4 | s[x + 1]);
    if (x < width) *d++ = static_cast<uint8_t>(s[x] << 4);
  } else {
    for (int x = 0; x < width; x += 8) {
      const int n = std::min(8, width - x);
      uint8_t byte = 0;
      for (int i = 0; i < n; ++i) byte = static_cast<uint8_t>(byte | (s[x + i] & 1) << (7 - i));
      *d++ = byte;
    }
  }
  std::memset(d, 0, stride - static_cast<size_t>(d - start));
}

}  // namespace

bool GifIOClass::OpenRead(const char* path) { return OpenStream(path, "rb"); }

bool GifIOClass::OpenWrite(const char* path) { return OpenStream(path, "wb"); }

int GifIOClass::CloseRead() {
  have_image_ = false;
  return CloseStream() ? 1 : 0;
}

int GifIOClass::CloseWrite() { return CloseStream() ? 1 : 0; }

bool GifIOClass::Refuse(int code, const char* reason) {
  ShowRefusal(code, reason);
  return false;
}

bool GifIOClass::SkipBlocks(uint64_t* bytes) {
  uint8_t block[255];
  for (;;) {
    const int length = std::fgetc(stream_);
    if (length == EOF) return false;
    if (length == 0) return true;
    const size_t got = std::fread(block, 1, static_cast<size_t>(length), stream_);
    if (bytes) *bytes += got;
    if (got != static_cast<size_t>(length)) return false;
  }
}

bool GifIOClass::ReadHeader(DibImage* image) {
  have_image_ = false;
  reason_[0] = '\0';
  uint8_t head[13];
  if (std::fread(head, 1, 6, stream_) != 6 || std::memcmp(head, "GIF", 3) != 0)
    return Refuse(kMsgUnsupported, "not a GIF file");
  if (std::memcmp(head + 3, "87a", 3) != 0 && std::memcmp(head + 3, "89a", 3) != 0) {
    char version[4];
    for (int i = 0; i < 3; ++i) {
      const uint8_t c = head[3 + i];
      version[i] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    version[3] = '\0';
    const std::string reason = std::string("unsupported version: GIF") + version;
    return Refuse(kMsgBadVersion, reason.c_str());
  }
  if (std::fread(head + 6, 1, 7, stream_) != 7) return Refuse(kMsgUnsupported, "truncated in the screen descriptor");
  screen_width_ = GetLE16(head + 6);
  screen_height_ = GetLE16(head + 8);
  background_ = head[11];
  global_entries_ = TableEntries(head[10]);
  const size_t global_bytes = 3 * static_cast<size_t>(global_entries_);
  if (std::fread(global_table_, 1, global_bytes, stream_) != global_bytes)
    return Refuse(kMsgUnsupported, "truncated in the global colour table");

  // The whole block structure is walked (an application extension anywhere marks an animation).
  // A file that ends early, a cut download, keeps what it holds.
  bool animation = false, trailer = false;
  for (bool end = false; !end;) {
    switch (std::fgetc(stream_)) {
      case EOF:
        end = true;
        break;
      case 0x21: {  // extension: a label and data sub-blocks
        const int label = std::fgetc(stream_);
        if (label == 0xFF) animation = true;
        end = label == EOF || !SkipBlocks();
        break;
      }
      case 0x2C: {
        const Step step = ReadImage();
        if (step == Step::kRefused) return Refuse(kMsgUnsupported, reason_);
        end = step == Step::kFileEnded;
        break;
      }
      case 0x3B:
        end = trailer = true;
        break;
      default:  // stray bytes between blocks are passed over
        break;
    }
  }
  if (!have_image_)
    return Refuse(kMsgUnsupported,
                  trailer ? "no image with pixels before the trailer" : "truncated before the first image");

  image->format = kFormatGif;
  FormatDetails* details = image->details;
  details->first = head[4] == '9' ? 1 : 0;
  details->fourth = animation ? 1 : 0;
  FinishHeader(image);
  if (image->stride == 0)
    return Refuse(kMsgUnsupported, SizeProblem(screen_width_, screen_height_, read_bpp_).c_str());
  return true;
}

GifIOClass::Step GifIOClass::ReadImage() {
  // Where the first image is cut short, nothing of it can be shown.
  const Step cut = have_image_ ? Step::kFileEnded : Step::kRefused;
  std::snprintf(reason_, sizeof reason_, "truncated in the first image's descriptor");
  uint8_t d[9];
  if (std::fread(d, 1, 9, stream_) != 9) return cut;
  Frame frame;
  const int left = GetLE16(d), top = GetLE16(d + 2), width = GetLE16(d + 4), height = GetLE16(d + 6);
  frame.interlaced = (d[8] & 0x40) != 0;
  frame.local_entries = TableEntries(d[8]);
  const size_t local_bytes = 3 * static_cast<size_t>(frame.local_entries);
  if (std::fread(frame.local_table, 1, local_bytes, stream_) != local_bytes) return cut;
  const int code_size = std::fgetc(stream_);
  if (code_size == EOF) return cut;
  // Only the first image with pixels is shown; an empty one is passed over like the later ones.
  if (have_image_ || width == 0 || height == 0) return SkipBlocks() ? Step::kNext : Step::kFileEnded;

  // Codes have 12 bits at most, so from a minimum code size of 12 on the first code would need
  // more; with 0 the clear code leaves no index but 0.
  if (code_size < 1 || code_size > 11) {
    std::snprintf(reason_, sizeof reason_, "unsupported variant: LZW code size %d (1 to 11 are decoded)", code_size);
    return Step::kRefused;
  }
  frame.code_size = code_size;
  frame.full_width = width;
  frame.full_height = height;
  // The visible part on the screen; the rest of the image is not shown.
  frame.left = std::min(left, screen_width_);
  frame.top = std::min(top, screen_height_);
  frame.width = std::min(width, screen_width_ - frame.left);
  frame.height = std::min(height, screen_height_ - frame.top);
  frame.data_offset = Tell(stream_);
  if (frame.data_offset < 0) {
    std::snprintf(reason_, sizeof reason_, "the file's position cannot be read");
    return Step::kRefused;
  }
  // The data is decoded in ReadBits; here it is only measured.
  uint64_t bytes = 0;
  const bool complete = SkipBlocks(&bytes);
  if (!complete && bytes == 0) {
    std::snprintf(reason_, sizeof reason_, "truncated before the first image's data");
    return Step::kRefused;
  }
  reason_[0] = '\0';
  have_image_ = true;
  first_ = frame;
  return complete ? Step::kNext : Step::kFileEnded;
}

void GifIOClass::FinishHeader(DibImage* image) {
  const Frame& f = first_;
  // The first image's own table gives its colours; else the global table; a file with neither
  // is shown in greys.
  uint8_t grey[256 * 3];
  const uint8_t* table = f.local_entries ? f.local_table : global_table_;
  int entries = f.local_entries ? f.local_entries : global_entries_;
  int depth = 0;
  if (entries == 0) {
    depth = f.code_size <= 8 ? f.code_size : 8;
    entries = 1 << depth;
    for (int i = 0; i < entries; ++i) std::memset(grey + 3 * i, i * 255 / (entries - 1), 3);
    table = grey;
  } else {
    while ((1 << depth) < entries) ++depth;
  }
  entries_ = entries;

  // The background colour: the global table's background entry (entry 0 of the table in use
  // when there is no global table).
  const uint8_t* bg = global_entries_ ? global_table_ + 3 * (background_ < global_entries_ ? background_ : 0) : table;
  RGBQUAD* pal = Palette(image);
  for (int i = 0; i < entries; ++i) pal[i] = RGBQUAD{table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
  int colours = entries;
  fill_index_ = 0;
  const bool covered = f.left == 0 && f.top == 0 && f.width == screen_width_ && f.height == screen_height_;
  if (!covered) {
    // The screen around the first image shows the background colour, through the entry of the
    // table in use that has it (added when there is room, else the nearest).
    int best = 1 << 30;
    for (int i = 0; i < entries && best != 0; ++i) {
      const int db = pal[i].rgbBlue - bg[2], dg = pal[i].rgbGreen - bg[1], dr = pal[i].rgbRed - bg[0];
      const int distance = db * db + dg * dg + dr * dr;
      if (distance < best) {
        best = distance;
        fill_index_ = i;
      }
    }
    if (best != 0 && entries < 256) {
      fill_index_ = colours++;
      pal[fill_index_] = RGBQUAD{bg[2], bg[1], bg[0], 0};
    }
  }

  BITMAPINFOHEADER& h = image->info->bmiHeader;
  read_bpp_ = colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
  h.biWidth = screen_width_;
  h.biHeight = screen_height_;
  h.biBitCount = static_cast<WORD>(read_bpp_);
  h.biCompression = BI_RGB;
  h.biClrUsed = static_cast<DWORD>(colours);
  image->colours = static_cast<uint16_t>(colours);
  image->stride = CheckedStride(screen_width_, screen_height_, read_bpp_);
  h.biSizeImage = image->stride * static_cast<uint32_t>(screen_height_);
  FormatDetails* details = image->details;
  details->colour = static_cast<uint32_t>(bg[0]) << 16 | static_cast<uint32_t>(bg[1]) << 8 | bg[2];
  details->second = static_cast<uint32_t>(depth);
}

bool GifIOClass::ReadBits(DibImage* image) {
  const Frame& f = first_;
  if (!have_image_ || !image->bits || Width(image) != screen_width_ || Height(image) != screen_height_ ||
      BitCount(image) != read_bpp_ || image->stride != RowBytes(screen_width_, read_bpp_))
    return Refuse(kMsgUnsupported, "inconsistent header");
  have_image_ = false;
  image->details->third = f.interlaced ? 1 : 0;

  // One screen row of indexes at a time: the background, and the image's part in between.
  std::vector<uint8_t> line(static_cast<size_t>(screen_width_), static_cast<uint8_t>(fill_index_));
  const auto put_row = [&](int y) {
    PackRow(line.data(), screen_width_, read_bpp_, RowAddress(image, y), image->stride);
  };
  for (int y = 0; y < f.top; ++y) put_row(y);
  for (int y = f.top + f.height; y < screen_height_; ++y) put_row(y);
  if (f.width == 0 || f.height == 0) {
    for (int y = f.top; y < f.top + f.height; ++y) put_row(y);
    return true;
  }
  if (!SeekTo(stream_, f.data_offset)) return Refuse(kMsgUnsupported, "the image data cannot be read again");

  // Indexes beyond the colour table read as entry 0.
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i < entries_ ? i : 0);
  LzwDecoder decoder;
  decoder.Start(f.code_size);
  FileBlocks blocks(stream_);
  std::vector<uint8_t> row(static_cast<size_t>(f.full_width));
  uint8_t* const part = line.data() + f.left;
  const size_t visible = static_cast<size_t>(f.width);
  RowOrder order(f.full_height, f.interlaced);
  // Rows below the screen are decoded only as far as rows still to be shown come after them.
  for (int r = order.Next(), to_show = f.height; r >= 0 && to_show > 0; r = order.Next()) {
    const size_t got = decoder.Decode(blocks, row.data(), row.size());
    if (r >= f.height) continue;
    --to_show;
    // Pixels the data never reaches (it ended or broke off) keep index 0.
    const size_t n = std::min(got, visible);
    for (size_t x = 0; x < n; ++x) part[x] = map[row[x]];
    std::memset(part + n, 0, visible - n);
    put_row(f.top + r);
  }
  return true;
}

bool GifIOClass::WriteHeader(const DibImage* image) {
  const BITMAPINFOHEADER& h = image->info->bmiHeader;
  const int colours = image->colours;
  const int bpp = h.biBitCount;
  write_bits_ = 0;
  if (colours == 0 || colours > 256 || (bpp != 1 && bpp != 4 && bpp != 8) || h.biCompression != BI_RGB ||
      h.biWidth <= 0 || h.biWidth > 0xFFFF || h.biHeight <= 0 || h.biHeight > 0xFFFF)
    return false;
  // The table holds 2^bits entries: the image's colours, then black.
  int bits = 1;
  while ((1 << bits) < colours) ++bits;
  uint8_t head[13 + 256 * 3] = {'G', 'I', 'F', '8', '7', 'a'};
  PutLE16(head + 6, static_cast<uint32_t>(h.biWidth));
  PutLE16(head + 8, static_cast<uint32_t>(h.biHeight));
  head[10] = static_cast<uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1));
  const uint32_t background = image->details ? image->details->colour & 0xFF : 0;
  head[11] = static_cast<uint8_t>(background < static_cast<uint32_t>(colours) ? background : 0);
  head[12] = 0;
  const RGBQUAD* pal = Palette(image);
  for (int i = 0; i < colours; ++i) {
    head[13 + 3 * i] = pal[i].rgbRed;
    head[14 + 3 * i] = pal[i].rgbGreen;
    head[15 + 3 * i] = pal[i].rgbBlue;
  }
  const size_t size = 13 + 3 * (size_t{1} << bits);
  if (std::fwrite(head, 1, size, stream_) != size) return false;
  write_bits_ = bits;
  return true;
}

bool GifIOClass::WriteBits(const DibImage* image) {
  if (write_bits_ == 0) return false;
  const int width = Width(image), height = Height(image), bpp = BitCount(image);
  uint8_t d[11] = {','};
  PutLE16(d + 1, 0);
  PutLE16(d + 3, 0);
  PutLE16(d + 5, static_cast<uint32_t>(width));
  PutLE16(d + 7, static_cast<uint32_t>(height));
  d[9] = static_cast<uint8_t>(write_bits_ - 1);
  LzwEncoder encoder(write_bits_);
  d[10] = static_cast<uint8_t>(encoder.code_size());
  bool ok = std::fwrite(d, 1, sizeof d, stream_) == sizeof d;

  // Indexes beyond the colour table are written as entry 0.
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i < image->colours ? i : 0);
  std::vector<uint8_t> row(static_cast<size_t>(width));
  std::vector<uint8_t>& out = encoder.output();
  for (int y = 0; y < height && ok; ++y) {
    const uint8_t* s = RowAddress(image, y);
    uint8_t* p = row.data();
    if (bpp == 8) {
      for (int x = 0; x < width; ++x) p[x] = map[s[x]];
    } else if (bpp == 4) {
      for (int x = 0; x < width; ++x) p[x] = map[(x & 1) ? s[x >> 1] & 15 : s[x >> 1] >> 4];
    } else {
      for (int x = 0; x < width; ++x) p[x] = map[(s[x >> 3] >> (7 - (x & 7))) & 1];
    }
    encoder.Add(p, row.size());
    if (out.size() >= 65536) {
      ok = std::fwrite(out.data(), 1, out.size(), stream_) == out.size();
      out.clear();
    }
  }
  encoder.Finish();
  ok = ok && std::fwrite(out.data(), 1, out.size(), stream_) == out.size();
  return ok && std::fputc(';', stream_) != EOF;
}
