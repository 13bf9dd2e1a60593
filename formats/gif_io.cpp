#include "formats/gif_io.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "formats/byte_order.h"
#include "formats/lzw.h"

namespace {

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
  bool ended() const { return ended_; }

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

bool Unsupported() {
  ShowError(kMsgUnsupported);
  return false;
}

int TableEntries(uint8_t packed) { return (packed & 0x80) ? 2 << (packed & 7) : 0; }

}  // namespace

bool GifIOClass::OpenRead(const char* path) { return OpenStream(path, "rb"); }

bool GifIOClass::OpenWrite(const char* path) { return OpenStream(path, "wb"); }

int GifIOClass::CloseRead() {
  screen_.reset();
  have_image_ = false;
  return CloseStream() ? 1 : 0;
}

int GifIOClass::CloseWrite() { return CloseStream() ? 1 : 0; }

bool GifIOClass::SkipBlocks() {
  uint8_t block[255];
  for (;;) {
    const int length = std::fgetc(stream_);
    if (length == EOF) return false;
    if (length == 0) return true;
    if (std::fread(block, 1, static_cast<size_t>(length), stream_) != static_cast<size_t>(length)) return false;
  }
}

bool GifIOClass::ReadHeader(DibImage* image) {
  screen_.reset();
  have_image_ = false;
  uint8_t head[13];
  if (std::fread(head, 1, 6, stream_) != 6 || std::memcmp(head, "GIF", 3) != 0) return Unsupported();
  if (std::memcmp(head + 3, "87a", 3) != 0 && std::memcmp(head + 3, "89a", 3) != 0) {
    ShowError(kMsgBadVersion);
    return false;
  }
  if (std::fread(head + 6, 1, 7, stream_) != 7) return Unsupported();
  screen_width_ = GetLE16(head + 6);
  screen_height_ = GetLE16(head + 8);
  background_ = head[11];
  global_entries_ = TableEntries(head[10]);
  const size_t global_bytes = 3 * static_cast<size_t>(global_entries_);
  if (std::fread(global_table_, 1, global_bytes, stream_) != global_bytes) return Unsupported();
  // The screen's size is the image's: refused before anything is allocated for it.
  if (!CheckedStride(screen_width_, screen_height_, 8)) return Unsupported();
  screen_.reset(AllocateBits(static_cast<size_t>(screen_width_) * static_cast<size_t>(screen_height_)));
  if (!screen_) return false;

  bool animation = false;
  for (bool trailer = false; !trailer;) {
    switch (std::fgetc(stream_)) {
      case EOF:
        return Unsupported();
      case 0x21: {  // extension: a label and data sub-blocks
        const int label = std::fgetc(stream_);
        if (label == EOF || !SkipBlocks()) return Unsupported();
        if (label == 0xFF) animation = true;  // an application extension marks an animation
        break;
      }
      case 0x2C:
        if (!ReadImage()) return Unsupported();
        break;
      case 0x3B:
        trailer = true;
        break;
      default:  // stray bytes between blocks are passed over
        break;
    }
  }
  if (!have_image_) return Unsupported();

  image->format = kFormatGif;
  FormatDetails* details = image->details;
  details->first = head[4] == '9' ? 1 : 0;
  details->fourth = animation ? 1 : 0;
  FinishHeader(image);
  return image->stride != 0;
}

bool GifIOClass::ReadImage() {
  uint8_t d[9];
  if (std::fread(d, 1, 9, stream_) != 9) return false;
  Frame frame;
  const int left = GetLE16(d), top = GetLE16(d + 2), width = GetLE16(d + 4), height = GetLE16(d + 6);
  frame.interlaced = (d[8] & 0x40) != 0;
  frame.local_entries = TableEntries(d[8]);
  const size_t local_bytes = 3 * static_cast<size_t>(frame.local_entries);
  if (std::fread(frame.local_table, 1, local_bytes, stream_) != local_bytes) return false;
  const int code_size = std::fgetc(stream_);
  if (code_size == EOF) return false;
  frame.code_size = code_size;
  // Only the first image with pixels is decoded; an empty one is passed over like the later ones.
  if (have_image_ || width == 0 || height == 0) return SkipBlocks();

  // The visible part on the screen; the rest of the image is decoded and dropped.
  frame.left = std::min(left, screen_width_);
  frame.top = std::min(top, screen_height_);
  frame.width = std::min(width, screen_width_ - frame.left);
  frame.height = std::min(height, screen_height_ - frame.top);
  have_image_ = true;
  first_ = frame;

  LzwDecoder decoder;
  decoder.Start(code_size);
  FileBlocks blocks(stream_);
  std::vector<uint8_t> row(static_cast<size_t>(width));
  RowOrder order(height, frame.interlaced);
  for (int r = order.Next(); r >= 0; r = order.Next()) {
    const size_t got = decoder.Decode(blocks, row.data(), row.size());
    // Pixels the data never reaches keep index 0.
    std::fill(row.begin() + static_cast<std::ptrdiff_t>(got), row.end(), 0);
    if (r < frame.height && frame.width > 0)
      std::memcpy(screen_.get() + static_cast<size_t>(frame.top + r) * screen_width_ + frame.left, row.data(),
                  static_cast<size_t>(frame.width));
    if (got < row.size()) break;
  }
  return blocks.ended() || SkipBlocks();
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
    depth = f.code_size >= 1 && f.code_size <= 8 ? f.code_size : 8;
    entries = 1 << depth;
    for (int i = 0; i < entries; ++i) std::memset(grey + 3 * i, i * 255 / (entries - 1), 3);
    table = grey;
  } else {
    while ((1 << depth) < entries) ++depth;
  }
  uint8_t* const pixels = screen_.get();
  const size_t width = static_cast<size_t>(screen_width_);
  // Indexes beyond the table read as entry 0.
  if (entries < 256) {
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i < entries ? i : 0);
    for (int y = f.top; y < f.top + f.height; ++y) {
      uint8_t* p = pixels + y * width + f.left;
      for (int x = 0; x < f.width; ++x) p[x] = map[p[x]];
    }
  }

  // The background colour: the global table's background entry (entry 0 of the table in use
  // when there is no global table).
  const uint8_t* bg = global_entries_ ? global_table_ + 3 * (background_ < global_entries_ ? background_ : 0) : table;
  RGBQUAD* pal = Palette(image);
  for (int i = 0; i < entries; ++i) pal[i] = RGBQUAD{table[3 * i + 2], table[3 * i + 1], table[3 * i], 0};
  int colours = entries;
  const bool covered = f.left == 0 && f.top == 0 && f.width == screen_width_ && f.height == screen_height_;
  if (!covered) {
    // The screen around the first image shows the background colour, through the entry of the
    // table in use that has it (added when there is room, else the nearest).
    int index = -1, best = 1 << 30;
    for (int i = 0; i < entries && best != 0; ++i) {
      const int db = pal[i].rgbBlue - bg[2], dg = pal[i].rgbGreen - bg[1], dr = pal[i].rgbRed - bg[0];
      const int distance = db * db + dg * dg + dr * dr;
      if (distance < best) {
        best = distance;
        index = i;
      }
    }
    if (best != 0 && entries < 256) {
      index = colours++;
      pal[index] = RGBQUAD{bg[2], bg[1], bg[0], 0};
    }
    const uint8_t b = static_cast<uint8_t>(index);
    for (int y = 0; y < screen_height_; ++y) {
      uint8_t* row = pixels + y * width;
      if (y < f.top || y >= f.top + f.height) {
        std::memset(row, b, width);
      } else {
        std::memset(row, b, static_cast<size_t>(f.left));
        std::memset(row + f.left + f.width, b, width - f.left - f.width);
      }
    }
  }

  BITMAPINFOHEADER& h = image->info->bmiHeader;
  const int bpp = colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
  h.biWidth = screen_width_;
  h.biHeight = screen_height_;
  h.biBitCount = static_cast<WORD>(bpp);
  h.biCompression = BI_RGB;
  h.biClrUsed = static_cast<DWORD>(colours);
  image->colours = static_cast<uint16_t>(colours);
  image->stride = CheckedStride(screen_width_, screen_height_, bpp);
  h.biSizeImage = image->stride * static_cast<uint32_t>(screen_height_);
  FormatDetails* details = image->details;
  details->colour = static_cast<uint32_t>(bg[0]) << 16 | static_cast<uint32_t>(bg[1]) << 8 | bg[2];
  details->second = static_cast<uint32_t>(depth);
}

bool GifIOClass::ReadBits(DibImage* image) {
  if (!have_image_ || !screen_ || Width(image) != screen_width_ || Height(image) != screen_height_) return false;
  image->details->third = first_.interlaced ? 1 : 0;
  const int width = screen_width_;
  const int bpp = BitCount(image);
  for (int y = 0; y < screen_height_; ++y) {
    const uint8_t* s = screen_.get() + static_cast<size_t>(y) * width;
    uint8_t* d = RowAddress(image, y);
    if (bpp == 8) {
      std::memcpy(d, s, static_cast<size_t>(width));
    } else if (bpp == 4) {
      int x = 0;
      for (; x + 1 < width; x += 2) *d++ = static_cast<uint8_t>(s[x] << 4 | s[x + 1]);
      if (x < width) *d = static_cast<uint8_t>(s[x] << 4);
    } else {
      for (int x = 0; x < width; x += 8) {
        const int n = std::min(8, width - x);
        uint8_t byte = 0;
        for (int i = 0; i < n; ++i) byte = static_cast<uint8_t>(byte | (s[x + i] & 1) << (7 - i));
        *d++ = byte;
      }
    }
  }
  screen_.reset();
  have_image_ = false;
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
