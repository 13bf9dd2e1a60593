#include "formats/jpeg_io.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "base/messages.h"

// libjpeg names its int-sized truth type "boolean", as the platform's headers do with a byte.
#define boolean jpeg_boolean
#include <jerror.h>
#include <jpeglib.h>
#undef boolean

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo is needed: rows are exchanged in the bitmap's blue, green, red order"
#endif

// The library's fatal errors jump back to the operation that made the call (its default would
// end the process); warnings are not printed.
struct JpegCodec {
  struct ErrorManager {
    jpeg_error_mgr pub;  // first: the library sees only this part
    std::jmp_buf jump;
  };
  ErrorManager error;
  jpeg_progress_mgr progress;
  jpeg_decompress_struct decompress;
  jpeg_compress_struct compress;
  bool reading;
  bool writing;
  bool started;  // decompression started: rows can be read
};

namespace {

// More scans than any encoder makes; a file with more only burns time (every scan goes over the
// whole image again), so it is refused.
constexpr int kMaxScans = 500;

[[noreturn]] void JumpToRecoveryPoint(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<JpegCodec::ErrorManager*>(cinfo->err);
  std::longjmp(error->jump, 1);
}

void NoOutput(j_common_ptr) {}

void LimitScans(j_common_ptr cinfo) {
  const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    cinfo->err->msg_code = JERR_BAD_PROGRESSION;
    (*cinfo->err->error_exit)(cinfo);
  }
}

void InitErrors(JpegCodec& c) {
  jpeg_std_error(&c.error.pub);
  c.error.pub.error_exit = JumpToRecoveryPoint;
  c.error.pub.output_message = NoOutput;
}

}  // namespace

JpegIOClass::JpegIOClass() : codec_(new JpegCodec()) {}

JpegIOClass::~JpegIOClass() {
  ReleaseReader();
  ReleaseWriter();
}

void JpegIOClass::ReleaseReader() {
  if (codec_->reading) jpeg_destroy_decompress(&codec_->decompress);
  codec_->reading = false;
  codec_->started = false;
  CloseStream();
}

void JpegIOClass::ReleaseWriter() {
  if (codec_->writing) jpeg_destroy_compress(&codec_->compress);
  codec_->writing = false;
  CloseStream();
}

void JpegIOClass::ReportLibraryError() {
  ShowError(codec_->error.pub.msg_code == JERR_OUT_OF_MEMORY ? kMsgNoMemory : kMsgUnsupported);
}

// --- reading ---------------------------------------------------------------------------------

bool JpegIOClass::CreateReader() {
  JpegCodec& c = *codec_;
  InitErrors(c);
  if (setjmp(c.error.jump)) return false;
  c.decompress.err = &c.error.pub;
  jpeg_create_decompress(&c.decompress);
  c.reading = true;
  c.progress.progress_monitor = LimitScans;
  c.decompress.progress = &c.progress;
  jpeg_stdio_src(&c.decompress, stream_);
  return true;
}

bool JpegIOClass::OpenRead(const char* path) {
  ReleaseReader();
  ReleaseWriter();
  if (!OpenStream(path, "rb")) return false;
  if (CreateReader()) return true;
  ReportLibraryError();
  ReleaseReader();
  return false;
}

bool JpegIOClass::StartReading(DibImage* image) {
  JpegCodec& c = *codec_;
  j_decompress_ptr d = &c.decompress;
  if (setjmp(c.error.jump)) return false;
  jpeg_read_header(d, TRUE);
  // Colour and greyscale files only (CMYK and YCCK files are not taken), of a size the program
  // can hold: checked before the library allocates its buffers for the image.
  const bool grey = d->out_color_space == JCS_GRAYSCALE;
  if (!grey && d->out_color_space != JCS_RGB) return false;
  const int bpp = grey ? 8 : 24;
  if (!CheckedStride(d->image_width, d->image_height, bpp)) return false;
  // The library stores colour rows in the bitmap's blue, green, red order itself (the same
  // samples as red, green, blue output, turned round).
  if (!grey) d->out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(d);
  if (d->output_components != (grey ? 1 : 3) || d->output_width != d->image_width ||
      d->output_height != d->image_height)
    return false;
  c.started = true;

  BITMAPINFOHEADER& h = image->info->bmiHeader;
  image->format = kFormatJpeg;
  h.biWidth = static_cast<LONG>(d->output_width);
  h.biHeight = static_cast<LONG>(d->output_height);
  h.biBitCount = static_cast<WORD>(bpp);
  h.biCompression = BI_RGB;
  image->colours = grey ? 256 : 0;
  h.biClrUsed = image->colours;
  RGBQUAD* pal = Palette(image);
  for (int i = 0; i < image->colours; ++i) {
    const BYTE v = static_cast<BYTE>(i);
    pal[i] = RGBQUAD{v, v, v, 0};
  }
  image->stride = RowBytes(h.biWidth, bpp);
  h.biSizeImage = image->stride * static_cast<uint32_t>(h.biHeight);
  image->details->first = grey ? 1 : 0;
  return true;
}

bool JpegIOClass::ReadHeader(DibImage* image) {
  if (!codec_->reading) return false;
  if (StartReading(image)) return true;
  ReportLibraryError();
  ReleaseReader();
  return false;
}

bool JpegIOClass::ReadRows(DibImage* image) {
  JpegCodec& c = *codec_;
  j_decompress_ptr d = &c.decompress;
  if (setjmp(c.error.jump)) return false;
  // Rows go straight into the bitmap (its rows hold output_width samples of every component),
  // several per call so that the library can hand over each row group whole.
  const int height = Height(image);
  JSAMPROW rows[16];
  for (int y = 0; y < height;) {
    const int want = height - y < 16 ? height - y : 16;
    for (int i = 0; i < want; ++i) rows[i] = RowAddress(image, y + i);
    const int got = static_cast<int>(jpeg_read_scanlines(d, rows, static_cast<JDIMENSION>(want)));
    if (got <= 0) return false;
    y += got;
  }
  return true;
}

bool JpegIOClass::ReadBits(DibImage* image) {
  if (!codec_->reading || !codec_->started) return false;
  const int components = codec_->decompress.output_components;
  if (components != 1 && components != 3) return false;
  if (ReadRows(image)) return true;
  ReportLibraryError();
  ReleaseReader();
  return false;
}

int JpegIOClass::CloseRead() {
  ReleaseReader();  // the decompressor is destroyed without finishing: the rest of the file is not read
  return 1;
}

// --- writing ---------------------------------------------------------------------------------

bool JpegIOClass::CreateWriter() {
  JpegCodec& c = *codec_;
  InitErrors(c);
  if (setjmp(c.error.jump)) return false;
  c.compress.err = &c.error.pub;
  jpeg_create_compress(&c.compress);
  c.writing = true;
  jpeg_stdio_dest(&c.compress, stream_);
  return true;
}

bool JpegIOClass::OpenWrite(const char* path) {
  ReleaseReader();
  ReleaseWriter();
  if (!OpenStream(path, "wb")) return false;
  if (CreateWriter()) return true;
  ReleaseWriter();
  return false;
}

bool JpegIOClass::SetWriteParameters(const DibImage* image) {
  JpegCodec& c = *codec_;
  j_compress_ptr w = &c.compress;
  if (setjmp(c.error.jump)) return false;
  w->image_width = static_cast<JDIMENSION>(Width(image));
  w->image_height = static_cast<JDIMENSION>(Height(image));
  w->input_components = 3;
  w->in_color_space = JCS_EXT_BGR;  // the bitmap's byte order; the file is the same as from RGB rows
  jpeg_set_defaults(w);  // quality 75 and the default sampling
  return true;
}

bool JpegIOClass::WriteHeader(const DibImage* image) {
  if (!codec_->writing || BitCount(image) != 24) return false;
  if (SetWriteParameters(image)) return true;
  ReleaseWriter();
  return false;
}

bool JpegIOClass::WriteRows(const DibImage* image) {
  JpegCodec& c = *codec_;
  j_compress_ptr w = &c.compress;
  if (setjmp(c.error.jump)) return false;
  const int height = Height(image);
  jpeg_start_compress(w, TRUE);
  // The library only reads the rows it is given.
  JSAMPROW rows[16];
  for (int y = 0; y < height;) {
    const int n = height - y < 16 ? height - y : 16;
    for (int i = 0; i < n; ++i) rows[i] = RowAddress(image, y + i);
    const int done = static_cast<int>(jpeg_write_scanlines(w, rows, static_cast<JDIMENSION>(n)));
    if (done <= 0) return false;
    y += done;
  }
  return true;
}

bool JpegIOClass::WriteBits(const DibImage* image) {
  if (!codec_->writing || BitCount(image) != 24) return false;
  if (WriteRows(image)) return true;
  ReleaseWriter();
  return false;
}

bool JpegIOClass::FinishWriting() {
  JpegCodec& c = *codec_;
  if (setjmp(c.error.jump)) return false;
  jpeg_finish_compress(&c.compress);
  return true;
}

int JpegIOClass::CloseWrite() {
  const bool finished = codec_->writing && FinishWriting();
  if (codec_->writing) jpeg_destroy_compress(&codec_->compress);
  codec_->writing = false;
  const bool closed = CloseStream();
  return finished && closed ? 1 : 0;
}
