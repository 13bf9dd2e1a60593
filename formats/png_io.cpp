#include "formats/png_io.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/messages.h"

namespace {

constexpr double kScreenGamma = 2.2;

void OnLibraryWarning(png_structp, png_const_charp) {}

// Widens a row of 2-bit samples to 4 bits in place, from the end (the row buffer has room for
// the wider row), so that the program can hold such files as 4-bit images.
void WidenTwoBitRow(png_structp, png_row_infop row, png_bytep data) {
  if (row->bit_depth != 2 || row->channels != 1) return;
  for (png_uint_32 i = row->width; i-- > 0;) {
    const unsigned v = (data[i >> 2] >> (6 - 2 * (i & 3))) & 3u;
    png_byte& out = data[i >> 1];
    out = (i & 1) ? static_cast<png_byte>((out & 0xF0) | v) : static_cast<png_byte>((out & 0x0F) | (v << 4));
  }
  row->bit_depth = 4;
  row->pixel_depth = 4;
  row->rowbytes = (row->width + 1) / 2;
}

uint8_t GammaCorrected(int v, double g) {
  return static_cast<uint8_t>(std::pow(v / 255.0, 1.0 / g) * 255.0 + 0.5);
}

// Gamma correction of the grey table of a greyscale file of 1, 2 or 4 bits, whose pixels stay
// indexes: g = the file's gamma times the screen's; nothing when it is close to 1.
void CorrectTable(RGBQUAD* table, int count, png_structp png, png_infop info) {
  double file_gamma = 0;
  if (!png_get_gAMA(png, info, &file_gamma) || file_gamma <= 0) return;
  const double g = file_gamma * kScreenGamma;
  if (std::fabs(g - 1.0) <= 0.05) return;
  for (int i = 0; i < count; ++i) {
    table[i].rgbBlue = GammaCorrected(table[i].rgbBlue, g);
    table[i].rgbGreen = GammaCorrected(table[i].rgbGreen, g);
    table[i].rgbRed = GammaCorrected(table[i].rgbRed, g);
  }
}

// Transparency of a greyscale file of 1, 2 or 4 bits, held on its grey table: the transparent
// level shows the file's background grey, or the red byte of the program's background colour.
void FlattenGreyTable(RGBQUAD* table, int depth, uint32_t background, png_structp png, png_infop info) {
  png_color_16p trans = nullptr;
  if (!png_get_tRNS(png, info, nullptr, nullptr, &trans) || !trans) return;
  const unsigned levels = 1u << depth;
  if (trans->gray >= levels) return;
  uint8_t grey = static_cast<uint8_t>(background & 0xFF);
  png_color_16p file_background = nullptr;
  if (png_get_bKGD(png, info, &file_background) && file_background && file_background->gray < levels)
    grey = table[file_background->gray].rgbRed;
  table[trans->gray] = RGBQUAD{grey, grey, grey, 0};
}

}  // namespace

PngIOClass::~PngIOClass() { Release(); }

void PngIOClass::Release() {
  if (png_) {
    if (writing_) png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
    else png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
  }
  png_ = nullptr;
  info_ = nullptr;
  writing_ = reading_rows_ = stopped_after_rows_ = rows_read_ = file_ended_ = false;
  error_text_[0] = '\0';
  CloseStream();
}

void PngIOClass::Refuse() {
  ShowRefusal(error_code_ == kMsgNoMemory ? kMsgNoMemory : kMsgUnsupported,
              error_text_[0] ? error_text_ : "damaged file");
  Release();
}

// The library's errors jump back to the recovery point of the step that made the call; the text
// and whether memory ran out are remembered for the message. Warnings are not shown.
void PngIOClass::OnError(png_structp png, png_const_charp text) {
  if (auto* self = static_cast<PngIOClass*>(png_get_error_ptr(png))) {
    self->error_code_ = (text && std::strstr(text, "memory")) ? kMsgNoMemory : kMsgUnsupported;
    std::snprintf(self->error_text_, sizeof self->error_text_, "%s", text ? text : "libpng error");
  }
  png_longjmp(png, 1);
}

bool PngIOClass::RowsIn() const {
  return interlace_ ? png_get_current_pass_number(png_) >= 7 : png_get_current_row_number(png_) >= height_;
}

// Once the last row is in, the library would inflate whatever image data follows (a small file
// can hold data that inflates to gigabytes) and read on to the end of the file, though nothing
// after the rows is used. So only the check sum of the chunk that held the last rows is still
// read; any further request ends the reading, as a success.
void PngIOClass::ReadData(png_structp png, png_bytep data, size_t length) {
  auto* self = static_cast<PngIOClass*>(png_get_io_ptr(png));
  if (self->reading_rows_ && self->RowsIn()) {
    if (!(png_get_io_state(png) & PNG_IO_CHUNK_CRC) || std::fread(data, 1, length, self->stream_) != length) {
      self->stopped_after_rows_ = true;
      png_error(png, "stopped after the last row");
    }
    return;
  }
  if (std::fread(data, 1, length, self->stream_) != length) {
    self->file_ended_ = true;
    png_error(png, "truncated: the file ends before its image data");
  }
}

// --- reading ---------------------------------------------------------------------------------

bool PngIOClass::ReadInfo() {
  png_structp png = png_;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, this, ReadData);
  png_set_sig_bytes(png, 8);
  // Image data is taken 1 KB at a time, so past the last row at most the 1 KB in hand is
  // inflated (a megabyte of output at most), however much more the data would give.
  png_set_compression_buffer_size(png, 1024);
  // The program's own size limit decides which sizes are too large (the library's is narrower).
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  // Only the chunks the reader uses are read; the others (text, profiles ...) are passed over
  // unread. The library's size check on them is a warning only, so a tiny file declaring a
  // text chunk of gigabytes would otherwise have it allocated and cleared.
  static const png_byte kUsedChunks[] = {'b', 'K', 'G', 'D', 0, 'g', 'A', 'M', 'A', 0, 's', 'R', 'G', 'B', 0};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kUsedChunks, 3);
  png_read_info(png, info_);
  return true;
}

bool PngIOClass::OpenRead(const char* path) {
  Release();
  if (!OpenStream(path, "rb")) return false;
  png_byte signature[8];
  if (std::fread(signature, 1, 8, stream_) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    ShowRefusal(kMsgUnsupported, "not a PNG file");
    Release();
    return false;
  }
  error_code_ = kMsgUnsupported;
  png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnLibraryWarning);
  if (png_) info_ = png_create_info_struct(png_);
  if (!png_ || !info_) {
    ShowRefusal(kMsgNoMemory, "not enough memory for the PNG decoder");
    Release();
    return false;
  }
  if (ReadInfo()) return true;
  Refuse();
  return false;
}

bool PngIOClass::SetUpReading(DibImage* image) {
  png_structp png = png_;
  png_infop info = info_;
  if (setjmp(png_jmpbuf(png))) return false;
  png_uint_32 width = 0, height = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth_, &colour_type_, &interlace_, &compression_, &filter_);
  const int depth = bit_depth_, type = colour_type_;
  const bool colour = type == PNG_COLOR_TYPE_RGB || type == PNG_COLOR_TYPE_RGB_ALPHA;
  width_ = width;
  height_ = height;
  bits_per_pixel_ = colour ? 24 : depth == 16 ? 8 : depth == 2 ? 4 : depth;
  const int bpp = bits_per_pixel_;
  const uint32_t stride = CheckedStride(width, height, bpp);
  if (!stride) return false;  // the caller gives the size's problem

  BITMAPINFOHEADER& h = image->info->bmiHeader;
  image->format = kFormatPng;
  h.biWidth = static_cast<LONG>(width);
  h.biHeight = static_cast<LONG>(height);
  h.biBitCount = static_cast<WORD>(bpp);
  h.biCompression = BI_RGB;
  const int colours = colour ? 0 : 1 << bpp;
  image->colours = static_cast<uint16_t>(colours);
  h.biClrUsed = static_cast<DWORD>(colours);
  image->stride = stride;
  h.biSizeImage = stride * height;
  RGBQUAD* table = Palette(image);

  if (depth == 16) png_set_strip_16(png);
  if (depth == 2) {
    png_set_read_user_transform_fn(png, WidenTwoBitRow);
    png_set_user_transform_info(png, nullptr, 4, 1);
  }
  if (!(type & PNG_COLOR_MASK_COLOR)) {  // grey ramp over the whole table
    int step = 255 / ((1 << depth) - 1);
    if (step < 1) step = 1;
    for (int i = 0; i < colours; ++i) {
      const BYTE v = static_cast<BYTE>(i * step);
      table[i] = RGBQUAD{v, v, v, 0};
    }
  }
  if (colour) png_set_bgr(png);

  const uint32_t background = image->details->colour;  // 0x00BBGGRR
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) {
    CorrectTable(table, colours, png, info);
    FlattenGreyTable(table, depth, background, png, info);
  } else {
    // Gamma, and alpha blended in linear light onto the background. A palette file keeps its
    // indexes: the library applies both to its palette (by the same rule as to pixels), which
    // is copied below.
    int intent = 0;
    double file_gamma = 0;
    if (png_get_sRGB(png, info, &intent)) png_set_gamma(png, kScreenGamma, 0.45455);
    else if (png_get_gAMA(png, info, &file_gamma) && file_gamma > 0) png_set_gamma(png, kScreenGamma, file_gamma);
    if ((type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS)) {
      png_color_16p file_background = nullptr;
      if (png_get_bKGD(png, info, &file_background) && file_background) {
        png_set_background(png, file_background, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
      } else {
        png_color_16 bg{};
        bg.red = static_cast<png_uint_16>(background & 0xFF);
        bg.green = static_cast<png_uint_16>((background >> 8) & 0xFF);
        bg.blue = static_cast<png_uint_16>((background >> 16) & 0xFF);
        bg.gray = bg.red;
        png_set_strip_16(png);
        png_set_background(png, &bg, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
      }
    }
  }
  passes_ = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  // The rows the library will deliver must be exactly the image's layout.
  if (png_get_bit_depth(png, info) * png_get_channels(png, info) != bpp || png_get_rowbytes(png, info) > stride) {
    std::snprintf(error_text_, sizeof error_text_, "unsupported variant: rows of %d bits per pixel",
                  png_get_bit_depth(png, info) * png_get_channels(png, info));
    return false;
  }
  if (type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) && palette) {
      if (count > colours) count = colours;
      for (int i = 0; i < count; ++i) table[i] = RGBQUAD{palette[i].blue, palette[i].green, palette[i].red, 0};
    }
  }

  image->details->first = static_cast<uint32_t>(depth);
  image->details->second = static_cast<uint32_t>(type);
  image->details->third = static_cast<uint32_t>(filter_);
  return true;
}

bool PngIOClass::ReadHeader(DibImage* image) {
  if (!png_ || writing_) return false;
  if (SetUpReading(image)) return true;
  if (!error_text_[0]) {
    const std::string size = SizeProblem(width_, height_, bits_per_pixel_);
    std::snprintf(error_text_, sizeof error_text_, "%s", size.c_str());
  }
  Refuse();
  return false;
}

bool PngIOClass::ReadRows(DibImage* image) {
  png_structp png = png_;
  if (setjmp(png_jmpbuf(png))) return stopped_after_rows_;
  // Row by row straight into the image (an interlaced file in several passes over the rows).
  for (int pass = 0; pass < passes_; ++pass)
    for (uint32_t y = 0; y < height_; ++y) png_read_row(png, RowAddress(image, static_cast<int>(y)), nullptr);
  return true;
}

bool PngIOClass::ReadBits(DibImage* image) {
  if (!png_ || writing_ || Width(image) != static_cast<int>(width_) || Height(image) != static_cast<int>(height_))
    return false;
  reading_rows_ = true;
  const bool ok = ReadRows(image);
  reading_rows_ = false;
  if (ok) {
    rows_read_ = true;
    return true;
  }
  if (file_ended_ && interlace_)
    std::snprintf(error_text_, sizeof error_text_, "truncated: in pass %d of 7", png_get_current_pass_number(png_) + 1);
  else if (file_ended_)
    std::snprintf(error_text_, sizeof error_text_, "truncated: %u of %u rows", png_get_current_row_number(png_),
                  height_);
  Refuse();
  return false;
}

int PngIOClass::CloseRead() {
  // Nothing after the image data is used, so nothing after the last row is read.
  const bool finished = png_ && !writing_ && rows_read_;
  Release();
  return finished ? 1 : 0;
}

// --- writing ---------------------------------------------------------------------------------

bool PngIOClass::OpenWrite(const char* path) {
  Release();
  if (!OpenStream(path, "wb")) return false;
  error_code_ = 0;
  png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnLibraryWarning);
  writing_ = png_ != nullptr;
  if (png_) info_ = png_create_info_struct(png_);
  if (png_ && info_) return true;
  ShowError(kMsgNoMemory);
  Release();
  return false;
}

bool PngIOClass::WriteInfo(const DibImage* image) {
  png_structp png = png_;
  png_infop info = info_;
  const int bpp = BitCount(image);
  // Indexed images: the palette of the image's colours, lengthened (with black) to cover any
  // index the pixels use beyond them, so that the file stays valid.
  png_color palette[256];
  int count = 0;
  if (bpp <= 8) {
    count = image->colours;
    const int most = 1 << bpp;
    for (int y = 0; y < Height(image) && count < most; ++y) {
      const uint8_t* p = RowAddress(image, y);
      const int width = Width(image);
      for (int x = 0; x < width; ++x) {
        const int index = bpp == 8 ? p[x] : bpp == 4 ? (p[x >> 1] >> ((x & 1) ? 0 : 4)) & 15 : (p[x >> 3] >> (7 - (x & 7))) & 1;
        if (index >= count) count = index + 1;
      }
    }
    const RGBQUAD* table = Palette(image);
    for (int i = 0; i < count; ++i)
      palette[i] = i < image->colours ? png_color{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue} : png_color{0, 0, 0};
  }
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, stream_);
  png_set_filter(png, 0, PNG_FILTER_SUB);
  if (bpp > 8) {
    png_set_IHDR(png, info, width_, height_, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  } else {
    png_set_IHDR(png, info, width_, height_, bpp, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, count);
  }
  png_write_info(png, info);
  return true;
}

bool PngIOClass::WriteHeader(const DibImage* image) {
  if (!png_ || !writing_) return false;
  const int bpp = BitCount(image);
  // 24-bit rows, or indexed ones with a colour table; the save flow converts the rest.
  if (!(bpp == 24 || ((bpp == 1 || bpp == 4 || bpp == 8) && image->colours > 0)) || IsRunLength(image) ||
      Width(image) <= 0 || Height(image) <= 0) {
    Release();
    return false;
  }
  width_ = static_cast<uint32_t>(Width(image));
  height_ = static_cast<uint32_t>(Height(image));
  bits_per_pixel_ = bpp;
  if (WriteInfo(image)) return true;
  Release();
  return false;
}

bool PngIOClass::WriteRows(const DibImage* image) {
  png_structp png = png_;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_bgr(png);
  // libpng copies each row before working on it; the image itself is not written to.
  for (uint32_t y = 0; y < height_; ++y) png_write_row(png, RowAddress(image, static_cast<int>(y)));
  return true;
}

bool PngIOClass::WriteBits(const DibImage* image) {
  if (!png_ || !writing_ || BitCount(image) != bits_per_pixel_ || Width(image) != static_cast<int>(width_) ||
      Height(image) != static_cast<int>(height_))
    return false;
  if (WriteRows(image)) return true;
  Release();
  return false;
}

bool PngIOClass::FinishWriting() {
  png_structp png = png_;
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, nullptr);
  return true;
}

int PngIOClass::CloseWrite() {
  const bool finished = png_ && writing_ && FinishWriting();
  if (png_) png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
  png_ = nullptr;
  info_ = nullptr;
  writing_ = false;
  const bool closed = CloseStream();
  return finished && closed ? 1 : 0;
}
