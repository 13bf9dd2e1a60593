#include "formats/jpeg_io.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "formats/exif.h"
#include "formats/jpeg_dc_scan.h"
#include "image/orientation.h"

// libjpeg names its int-sized truth type "boolean", as the platform's headers do with a byte.
#define boolean jpeg_boolean
#include <jerror.h>
#include <jpeglib.h>
#undef boolean

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo is needed: rows are exchanged in the bitmap's blue, green, red order"
#endif

// The library's fatal errors jump back to the operation that made the call (its default would
// end the process), with the library's message noted; warnings are not printed.
struct JpegCodec {
  struct ErrorManager {
    jpeg_error_mgr pub;  // first: the library sees only this part
    std::jmp_buf jump;
    int box;                             // message code of the refusal box
    char reason[JMSG_LENGTH_MAX + 64];   // why the file being read was refused, in English
  };
  ErrorManager error;
  jpeg_progress_mgr progress;
  jpeg_decompress_struct decompress;
  jpeg_compress_struct compress;
  bool reading;
  bool writing;
  bool started;      // decompression started: rows can be read
  // What the file being read holds and how its rows reach the image.
  bool exif_seen;    // the first EXIF block has been looked at
  int orientation;   // its orientation (1..8), 0 when it gives none
  bool cmyk;         // four components (CMYK, or YCCK that the library turns into CMYK)
  bool inverted;     // ... stored inverted, as files with the Adobe marker have them
  JSAMPARRAY band;   // rows that are converted or turned on their way (null: decoded in place)
  // A thumbnail at an eighth of the size read from the DC coefficients alone (see JpegDcScan);
  // the library then only parses the header.
  bool dc_only;
  JpegDcScan dc_scan;
};

namespace {

// More scans than any encoder makes; a file with more only burns time (every scan goes over the
// whole image again), so it is refused.
constexpr int kMaxScans = 500;
// Rows asked of the library at a time (and held in the band when rows cannot be decoded in place).
constexpr int kBandRows = 16;

[[noreturn]] void JumpToRecoveryPoint(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<JpegCodec::ErrorManager*>(cinfo->err);
  (*error->pub.format_message)(cinfo, error->reason);
  error->box = error->pub.msg_code == JERR_OUT_OF_MEMORY ? kMsgNoMemory : kMsgUnsupported;
  std::longjmp(error->jump, 1);
}

void NoOutput(j_common_ptr) {}

void LimitScans(j_common_ptr cinfo) {
  const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number <= kMaxScans) return;
  auto* error = reinterpret_cast<JpegCodec::ErrorManager*>(cinfo->err);
  std::snprintf(error->reason, sizeof error->reason, "more than %d scans", kMaxScans);
  error->box = kMsgUnsupported;
  std::longjmp(error->jump, 1);
}

void InitErrors(JpegCodec& c) {
  jpeg_std_error(&c.error.pub);
  c.error.pub.error_exit = JumpToRecoveryPoint;
  c.error.pub.output_message = NoOutput;
  c.error.box = kMsgUnsupported;
  c.error.reason[0] = 0;
}

void NoteReason(JpegCodec& c, const char* reason) {
  c.error.box = kMsgUnsupported;
  std::snprintf(c.error.reason, sizeof c.error.reason, "%s", reason);
}

// Reads n bytes of the current marker segment into out (skips them when out is null). The stdio
// source never suspends; past the end of the file it hands out end markers.
void ReadSegment(j_decompress_ptr d, uint8_t* out, size_t n) {
  jpeg_source_mgr* src = d->src;
  while (n > 0) {
    if (src->bytes_in_buffer == 0 && !(*src->fill_input_buffer)(d)) {
      d->err->msg_code = JERR_CANT_SUSPEND;
      (*d->err->error_exit)(reinterpret_cast<j_common_ptr>(d));
    }
    const size_t take = n < src->bytes_in_buffer ? n : src->bytes_in_buffer;
    if (out) {
      std::memcpy(out, src->next_input_byte, take);
      out += take;
    }
    src->next_input_byte += take;
    src->bytes_in_buffer -= take;
    n -= take;
  }
}

// APP1 segments: the first one that carries an EXIF block gives the orientation; the others
// (XMP and the like) are skipped. At most one segment (64 KB) is held, in the image's pool.
jpeg_boolean ReadApp1(j_decompress_ptr d) {
  JpegCodec& c = *static_cast<JpegCodec*>(d->client_data);
  static const uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
  uint8_t head[6];
  ReadSegment(d, head, 2);
  const size_t length = static_cast<size_t>(head[0] << 8 | head[1]);
  size_t left = length > 2 ? length - 2 : 0;
  if (!c.exif_seen && left >= sizeof head) {
    ReadSegment(d, head, sizeof head);
    left -= sizeof head;
    if (std::memcmp(head, kExifSignature, sizeof head) == 0) {
      c.exif_seen = true;
      auto* block = static_cast<uint8_t*>(
          (*d->mem->alloc_small)(reinterpret_cast<j_common_ptr>(d), JPOOL_IMAGE, left + 1));
      ReadSegment(d, block, left);
      c.orientation = ExifOrientation(block, left);
      left = 0;
    }
  }
  ReadSegment(d, nullptr, left);
  return TRUE;
}

// Four-component rows to blue, green, red, in place (each pixel is read whole before its three
// bytes are written, which never reach the next pixel's). A sample is the ink, or 255 minus the
// ink in files stored inverted; red = (255 - cyan) (255 - black) / 255 in inks, rounded.
void CmykToBgr(uint8_t* row, int width, bool inverted) {
  const unsigned flip = inverted ? 0 : 255;  // v ^ 255 == 255 - v
  uint8_t* out = row;
  const uint8_t* p = row;
  for (int x = 0; x < width; ++x, p += 4, out += 3) {
    const unsigned k = p[3] ^ flip;
    const unsigned r = (p[0] ^ flip) * k, g = (p[1] ^ flip) * k, b = (p[2] ^ flip) * k;
    // round(v / 255) for v up to 255 * 255
    out[0] = static_cast<uint8_t>((b + 128 + ((b + 128) >> 8)) >> 8);
    out[1] = static_cast<uint8_t>((g + 128 + ((g + 128) >> 8)) >> 8);
    out[2] = static_cast<uint8_t>((r + 128 + ((r + 128) >> 8)) >> 8);
  }
}

// Where the entropy-coded data of the first scan comes from: what the library's source holds of
// it, then the rest of the file.
struct ScanSource {
  jpeg_source_mgr* src;
  std::FILE* file;
};

size_t ReadScanData(void* context, uint8_t* out, size_t size) {
  auto* source = static_cast<ScanSource*>(context);
  jpeg_source_mgr* src = source->src;
  if (src->bytes_in_buffer > 0) {
    const size_t take = size < src->bytes_in_buffer ? size : src->bytes_in_buffer;
    std::memcpy(out, src->next_input_byte, take);
    src->next_input_byte += take;
    src->bytes_in_buffer -= take;
    return take;
  }
  return std::fread(out, 1, size, source->file);
}

// The frame of a file whose picture the DC decoder can reduce: 8-bit grey or YCbCr, Huffman
// coded, a first scan over every component in frame order, either sequential or (in a progressive
// file) of the DC coefficients; false for any other.
bool DescribeDcFrame(const jpeg_decompress_struct& d, DcScanFrame* frame, HuffmanCodes (*codes)[2]) {
  const bool grey = d.num_components == 1 && d.jpeg_color_space == JCS_GRAYSCALE;
  const bool ycc = d.num_components == 3 && d.jpeg_color_space == JCS_YCbCr;
  const bool sequential = !d.progressive_mode && d.Ss == 0 && d.Se == 63 && d.Ah == 0 && d.Al == 0;
  const bool dc_first = d.progressive_mode && d.Ss == 0 && d.Se == 0 && d.Ah == 0;
  if ((!grey && !ycc) || (!sequential && !dc_first) || d.arith_code || d.data_precision != 8 ||
      d.comps_in_scan != d.num_components)
    return false;
  frame->dc_scan_only = dc_first;
  frame->dc_shift = dc_first ? d.Al : 0;
  frame->width = static_cast<int>(d.image_width);
  frame->height = static_cast<int>(d.image_height);
  frame->components = d.num_components;
  frame->restart_interval = static_cast<int>(d.restart_interval);
  for (int i = 0; i < d.num_components; ++i) {
    const jpeg_component_info* comp = d.cur_comp_info[i];
    // Table numbers come from the file unchecked until the library starts decoding.
    if (comp != &d.comp_info[i] || comp->quant_tbl_no < 0 || comp->quant_tbl_no >= NUM_QUANT_TBLS ||
        comp->dc_tbl_no < 0 || comp->dc_tbl_no >= NUM_HUFF_TBLS || comp->ac_tbl_no < 0 || comp->ac_tbl_no >= NUM_HUFF_TBLS)
      return false;
    const JQUANT_TBL* quant = d.quant_tbl_ptrs[comp->quant_tbl_no];
    const JHUFF_TBL* dc = d.dc_huff_tbl_ptrs[comp->dc_tbl_no];
    const JHUFF_TBL* ac = d.ac_huff_tbl_ptrs[comp->ac_tbl_no];
    if (!quant || !dc || (!ac && !dc_first)) return false;  // the library would put in its standard tables
    const JHUFF_TBL* tables[2] = {dc, ac};
    for (int t = 0; t < (dc_first ? 1 : 2); ++t) {
      std::memcpy(codes[i][t].counts, tables[t]->bits + 1, 16);
      std::memcpy(codes[i][t].symbols, tables[t]->huffval, 256);
    }
    DcScanComponent& out = frame->comp[i];
    out.h = comp->h_samp_factor;
    out.v = comp->v_samp_factor;
    out.dc_quant = quant->quantval[0];
    out.dc = &codes[i][0];
    out.ac = dc_first ? nullptr : &codes[i][1];
  }
  return true;
}

}  // namespace

JpegIOClass::JpegIOClass() : codec_(new JpegCodec()) {}

JpegIOClass::~JpegIOClass() {
  ReleaseReader();
  ReleaseWriter();
}

void JpegIOClass::ReleaseReader() {
  if (codec_->reading) jpeg_destroy_decompress(&codec_->decompress);  // frees the band and the EXIF block too
  codec_->reading = false;
  codec_->started = false;
  codec_->band = nullptr;
  CloseStream();
}

void JpegIOClass::ReleaseWriter() {
  if (codec_->writing) jpeg_destroy_compress(&codec_->compress);
  codec_->writing = false;
  CloseStream();
}

void JpegIOClass::Refuse() {
  ShowRefusal(codec_->error.box, codec_->error.reason);
  ReleaseReader();
}

// --- reading ---------------------------------------------------------------------------------

bool JpegIOClass::CreateReader() {
  JpegCodec& c = *codec_;
  InitErrors(c);
  c.exif_seen = false;
  c.orientation = 0;
  c.cmyk = c.inverted = false;
  c.band = nullptr;
  c.dc_only = false;
  if (setjmp(c.error.jump)) return false;
  c.decompress.err = &c.error.pub;
  jpeg_create_decompress(&c.decompress);
  c.reading = true;
  c.decompress.client_data = &c;
  c.progress.progress_monitor = LimitScans;
  c.decompress.progress = &c.progress;
  jpeg_set_marker_processor(&c.decompress, JPEG_APP0 + 1, ReadApp1);
  jpeg_stdio_src(&c.decompress, stream_);
  return true;
}

bool JpegIOClass::OpenRead(const char* path) {
  ReleaseReader();
  ReleaseWriter();
  if (!OpenStream(path, "rb")) return false;
  if (CreateReader()) return true;
  Refuse();
  return false;
}

bool JpegIOClass::ParseHeader() {
  JpegCodec& c = *codec_;
  if (setjmp(c.error.jump)) return false;
  jpeg_read_header(&c.decompress, TRUE);
  return true;
}

bool JpegIOClass::ChooseOutput() {
  JpegCodec& c = *codec_;
  j_decompress_ptr d = &c.decompress;
  // Greyscale and colour files, and four-component ones (CMYK, YCCK), which the library hands
  // over as CMYK; its other colour spaces are refused.
  const J_COLOR_SPACE out = d->out_color_space;
  if (out != JCS_GRAYSCALE && out != JCS_RGB && out != JCS_CMYK) {
    char text[96];
    std::snprintf(text, sizeof text, "unsupported variant: %d components in no known colour space", d->num_components);
    NoteReason(c, text);
    return false;
  }
  c.cmyk = out == JCS_CMYK;
  c.inverted = c.cmyk && d->saw_Adobe_marker;
  // The size the image will have, turned; checked before the library sets up its buffers.
  const int bpp = out == JCS_GRAYSCALE ? 8 : 24;
  const bool swap = SwapsSides(c.orientation);
  const int64_t width = swap ? d->image_height : d->image_width;
  const int64_t height = swap ? d->image_width : d->image_height;
  if (!CheckedStride(width, height, bpp)) {
    NoteReason(c, SizeProblem(width, height, bpp).c_str());
    return false;
  }
  full_width_ = static_cast<int>(width);
  full_height_ = static_cast<int>(height);
  return true;
}

bool JpegIOClass::StartReading() {
  JpegCodec& c = *codec_;
  j_decompress_ptr d = &c.decompress;
  if (setjmp(c.error.jump)) return false;
  // Colour rows come in the bitmap's blue, green, red order straight from the library.
  if (d->out_color_space == JCS_RGB) d->out_color_space = JCS_EXT_BGR;
  if (box_width_ > 0 && box_height_ > 0) {
    d->scale_num = 1;
    d->scale_denom = static_cast<unsigned>(ThumbnailReduction(full_width_, full_height_, box_width_, box_height_));
  }
  jpeg_calc_output_dimensions(d);
  const JDIMENSION width = d->output_width, height = d->output_height;
  const int components = d->out_color_space == JCS_GRAYSCALE ? 1 : c.cmyk ? 4 : 3;
  if (c.dc_only) {
    // The DC decoder has read the scan; the library only gave the sizes.
    if (c.dc_scan.width() != static_cast<int>(width) || c.dc_scan.height() != static_cast<int>(height) ||
        c.dc_scan.channels() != components) {
      NoteReason(c, "the reduced picture does not match the header");
      return false;
    }
  } else {
    // The library sets up its buffers here: a few rows for a file of one scan; for a file of
    // several (progressive ones) every DCT coefficient of the picture as well, two bytes per
    // sample of each component, which it needs until the last scan. Both follow from the size
    // checked above.
    jpeg_start_decompress(d);
  }
  if (d->output_components != components || d->output_width != width || d->output_height != height) {
    NoteReason(c, "the decoder's output does not match the header");
    return false;
  }
  // Rows that are converted, or turned across, pass through a band of a few rows; the others
  // are decoded straight into their image rows.
  if (c.cmyk || !KeepsRows(c.orientation))
    c.band = (*d->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(d), JPOOL_IMAGE,
                                     d->output_width * static_cast<JDIMENSION>(components), kBandRows);
  c.started = true;
  return true;
}

void JpegIOClass::DescribeImage(DibImage* image) const {
  const JpegCodec& c = *codec_;
  const jpeg_decompress_struct& d = c.decompress;
  const bool grey = d.out_color_space == JCS_GRAYSCALE;
  const bool swap = SwapsSides(c.orientation);
  const int bpp = grey ? 8 : 24;
  BITMAPINFOHEADER& h = image->info->bmiHeader;
  image->format = kFormatJpeg;
  h.biWidth = static_cast<LONG>(swap ? d.output_height : d.output_width);
  h.biHeight = static_cast<LONG>(swap ? d.output_width : d.output_height);
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
  image->details->second = static_cast<uint32_t>(c.orientation);
}

bool JpegIOClass::TryDcScan() {
  JpegCodec& c = *codec_;
  const jpeg_decompress_struct& d = c.decompress;
  if (box_width_ <= 0 || ThumbnailReduction(full_width_, full_height_, box_width_, box_height_) != 8) return true;
  DcScanFrame frame;
  HuffmanCodes codes[3][2];
  if (!DescribeDcFrame(d, &frame, codes)) return true;
  ScanSource source{d.src, stream_};
  if (c.dc_scan.Start(frame, ReadScanData, &source)) {
    c.dc_only = true;
    return true;
  }
  // Part of the file has been taken: the library starts over.
  return ReadFromStart();
}

bool JpegIOClass::ReadFromStart() {
  JpegCodec& c = *codec_;
  if (c.reading) jpeg_destroy_decompress(&c.decompress);
  c.reading = false;
  c.started = false;
  if (std::fseek(stream_, 0, SEEK_SET) != 0) {
    NoteReason(c, "the file cannot be read again from its start");
    return false;
  }
  return CreateReader() && ParseHeader() && ChooseOutput();
}

bool JpegIOClass::ReadHeader(DibImage* image) {
  if (!codec_->reading) return false;
  if (!ParseHeader() || !ChooseOutput() || !TryDcScan() || !StartReading()) {
    Refuse();
    return false;
  }
  DescribeImage(image);
  return true;
}

bool JpegIOClass::ReadRows(DibImage* image) {
  JpegCodec& c = *codec_;
  j_decompress_ptr d = &c.decompress;
  if (setjmp(c.error.jump)) return false;
  // Several rows per call, so that the library can hand over each row group whole: straight
  // into their image rows (mirrored there where the orientation asks), or through the band.
  const int height = static_cast<int>(d->output_height);
  const int width = static_cast<int>(d->output_width);
  const int orientation = c.orientation;
  JSAMPROW rows[kBandRows];
  for (int y = 0; y < height;) {
    const int want = height - y < kBandRows ? height - y : kBandRows;
    for (int i = 0; i < want; ++i) rows[i] = c.band ? c.band[i] : RowAddress(image, TurnedRow(orientation, height, y + i));
    const int got = c.dc_only ? c.dc_scan.ReadRows(rows, want)
                              : static_cast<int>(jpeg_read_scanlines(d, rows, static_cast<JDIMENSION>(want)));
    if (got <= 0) {
      NoteReason(c, "the decoder gave no rows");
      return false;
    }
    if (c.cmyk)
      for (int i = 0; i < got; ++i) CmykToBgr(rows[i], width, c.inverted);
    if (c.band) PlaceStoredRows(image, orientation, y, got, rows);
    else if (MirrorsRows(orientation))
      for (int i = 0; i < got; ++i) MirrorRow(rows[i], width, d->output_components);
    y += got;
  }
  return true;
}

bool JpegIOClass::ReadBits(DibImage* image) {
  JpegCodec& c = *codec_;
  if (!c.reading || !c.started) return false;
  // The image must be the one the header described (its turned size and depth).
  const bool swap = SwapsSides(c.orientation);
  const jpeg_decompress_struct& d = c.decompress;
  if (Width(image) != static_cast<int>(swap ? d.output_height : d.output_width) ||
      Height(image) != static_cast<int>(swap ? d.output_width : d.output_height) ||
      BitCount(image) != (d.out_color_space == JCS_GRAYSCALE ? 8 : 24)) {
    NoteReason(c, "the image does not match the header read");
  } else if (ReadRows(image)) {
    return true;
  } else if (c.dc_only) {
    // The scan did not decode cleanly by the DC decoder: the library decodes the same reduction
    // from the start, and has the final word on the damage.
    if (ReadFromStart() && StartReading() && ReadRows(image)) return true;
  }
  Refuse();
  return false;
}

int JpegIOClass::CloseRead() {
  ReleaseReader();  // the decompressor is destroyed without finishing: the rest of the file is not read
  return 1;
}

void JpegIOClass::SetThumbnailBox(int width, int height) {
  box_width_ = width > 0 && height > 0 ? width : 0;
  box_height_ = width > 0 && height > 0 ? height : 0;
}

void JpegIOClass::SetDcWordBits(int bits) { codec_->dc_scan.UseWordBits(bits); }

int ThumbnailReduction(int64_t width, int64_t height, int box_width, int box_height) {
  for (int d = 8; d > 1; d /= 2)
    if (width >= int64_t{d} * box_width || height >= int64_t{d} * box_height) return d;
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
