// The eighth-size picture of a JPEG from the DC coefficients alone, for thumbnails. At a
// reduction of 1/8 every 8 x 8 block becomes one pixel, the block's average, which is its DC
// coefficient. In a sequential file the AC coefficients only have to be stepped over: this
// decoder does that with tables that pass over several coefficient codes at a time, about twice
// as fast as the general library decoding the same reduction. A progressive file starts with a
// scan of the DC coefficients (less their lowest bits, which a later scan refines): that scan is
// all that is read. It takes only the common kinds of file (8-bit grey or YCbCr, Huffman coded,
// the first scan covering every component, restart markers allowed); for anything else, and for
// data that does not decode cleanly, it says no and the caller decodes the file the general way,
// which also has the final word on damaged files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A Huffman table as a file defines it: how many codes have each length 1..16, and the symbols
// in the order of their codes.
struct HuffmanCodes {
  uint8_t counts[16];
  uint8_t symbols[256];
};

struct DcScanComponent {
  int h = 1, v = 1;                 // sampling factors, 1..4
  int dc_quant = 1;                 // the quantiser of the DC coefficient
  const HuffmanCodes* dc = nullptr;  // the scan's tables of this component
  const HuffmanCodes* ac = nullptr;  // none in a scan of DC coefficients only
};

struct DcScanFrame {
  int width = 0, height = 0;   // the picture's full size
  int components = 0;          // 1 (grey) or 3 (Y, Cb, Cr), all in the one scan
  DcScanComponent comp[3];
  int restart_interval = 0;    // MCUs from one restart marker to the next, 0 without markers
  // A progressive file's first scan: DC coefficients only, each shifted right by dc_shift bits.
  bool dc_scan_only = false;
  int dc_shift = 0;
};

class JpegDcScan {
 public:
  // Reads up to size bytes of the file into out; 0 at its end.
  using ReadFn = size_t (*)(void* context, uint8_t* out, size_t size);

  // Takes the frame and reads the scan's entropy-coded data, the file positioned right after the
  // scan header; false when the frame or the data is not one this decoder takes (the data read so
  // far is then consumed).
  bool Start(const DcScanFrame& frame, ReadFn read, void* context);
  // The reduced picture: width and height rounded up from an eighth, 1 or 3 bytes a pixel.
  int width() const { return out_width_; }
  int height() const { return out_height_; }
  int channels() const { return frame_.components; }
  // Fills up to count rows, top down, with grey or blue-green-red pixels; returns how many, 0
  // when the data fails to decode or every row has been given.
  int ReadRows(uint8_t* const* rows, int count);
  // The word the bit reader works in: 64 bits, or 32 (the default in 32-bit programs, where a
  // 64-bit shift takes several instructions). Both decode alike.
  void UseWordBits(int bits) { narrow_ = bits == 32; }

  // One table's decoding tables, built from the codes a file gives; false for a table that cannot
  // be decoded (too many codes for their lengths).
  struct Table {
    // The first nine bits of the stream: (code length << 8) | symbol, 0 for a longer code.
    uint16_t fast[512];
    // Per code length (1..16): the largest code of that length plus one (0: none), and the
    // offset that turns a code of that length into its symbol's index.
    int32_t limit[18];
    int32_t offset[18];
    uint8_t symbols[256];
    // AC tables only: what the next bits (see kStepBits) step over, in two halves of 16 bits:
    // the low one for the first code alone, the high one for as many whole codes with their
    // value bits as fit. Each half: bits used (0: look further), positions advanced, and bit
    // 12 when the last code is the end of the block.
    std::vector<uint32_t> steps;
  };
  static bool BuildTable(const HuffmanCodes& codes, bool ac, Table* table);

 private:
  bool LoadData(ReadFn read, void* context);
  bool DecodeMcuRow();
  template <typename Word>
  bool DecodeMcuRowWith();

  DcScanFrame frame_{};
  Table dc_[3], ac_[3];
  int out_width_ = 0, out_height_ = 0;
  int max_h_ = 1, max_v_ = 1;
  int mcu_columns_ = 0, mcu_rows_ = 0;
  std::vector<uint8_t> data_;         // entropy-coded bytes with the stuffing taken out, padded
  std::vector<size_t> segments_;      // where each restart interval's data starts in data_
  size_t segment_ = 0;
  size_t position_ = 0;               // bits of the current segment consumed so far
  int predictors_[3] = {0, 0, 0};
  int restarts_left_ = 0;
  // DC levels of the current MCU row per component (blocks across x block rows), the output
  // column's block of each component, and the rows of the MCU row not yet given out.
  std::vector<uint8_t> levels_[3];
  std::vector<int> column_block_[3];
  int level_stride_[3] = {0, 0, 0};
  int mcu_row_ = 0;
  int row_in_mcu_ = 0;
  int rows_in_mcu_ = 0;
  bool failed_ = false;
  bool narrow_ = sizeof(void*) < 8;
};
