#include "formats/jpeg_dc_scan.h"

#include <cstring>
#include <new>

namespace {

// Bits looked at by one step over AC codes: 4096 entries of four bytes a table.
constexpr int kStepBits = 12;
// Entropy-coded data of one block is at most a DC code with its value bits and 63 AC codes with
// theirs (16 + 11 + 63 x (16 + 15) bits); more data than that for the picture is not a scan.
constexpr size_t kMostBytesPerBlock = 250;
// Zero bytes after the data: the bit reader loads 8 bytes at a time, and an MCU (at most 10
// blocks) is only checked against the end of its data once it has been decoded.
constexpr size_t kPadding = 10 * kMostBytesPerBlock + 16;

template <typename Word>
Word LoadBigEndian(const uint8_t* p) {
  Word v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (sizeof v == 8) return __builtin_bswap64(v);
  else return __builtin_bswap32(v);
}

// The entropy-coded bits, most significant first, in a word of 64 bits (or 32, see
// JpegDcScan::UseWordBits): acc holds the next avail bits at its top (and the bits after them,
// already loaded, below).
template <typename Word>
struct Bits {
  static constexpr int kWordBits = 8 * sizeof(Word);
  static constexpr int kRefilled = kWordBits - 8;  // bits there are at least after a refill
  Word acc;
  int avail;
  const uint8_t* p;
  // Tops the buffer up without a branch: the word at p is loaded and as many whole bytes as
  // fitted are counted as taken.
  void Refill() {
    acc |= LoadBigEndian<Word>(p) >> avail;
    p += (kWordBits - 1 - avail) >> 3;
    avail |= kRefilled;
  }
  uint32_t Peek(int n) const { return static_cast<uint32_t>(acc >> (kWordBits - n)); }
  void Skip(int n) {
    acc <<= n;
    avail -= n;
  }
  // Bits taken since base.
  size_t Taken(const uint8_t* base) const { return static_cast<size_t>(p - base) * 8 - static_cast<size_t>(avail); }
};

// The symbol of the code at the top of the buffer, its length in *length; -1 for no code.
template <typename Word>
int DecodeSymbol(const JpegDcScan::Table& t, const Bits<Word>& bits, int* length) {
  const uint16_t fast = t.fast[bits.Peek(9)];
  if (fast) {
    *length = fast >> 8;
    return fast & 0xFF;
  }
  for (int len = 10; len <= 16; ++len) {
    const int32_t code = static_cast<int32_t>(bits.Peek(len));
    if (code < t.limit[len]) {
      *length = len;
      return t.symbols[code + t.offset[len]];
    }
  }
  return -1;
}

// A DC difference of s bits: the bits as they are when the first is set, else negative.
int Extend(uint32_t v, int s) { return v < (1u << (s - 1)) ? static_cast<int>(v) - (1 << s) + 1 : static_cast<int>(v); }

// One step entry: bits used, positions advanced, end of block.
constexpr uint32_t kEndOfBlock = 1u << 12;
uint32_t StepEntry(int used, int advance, bool end) {
  return static_cast<uint32_t>(used) | static_cast<uint32_t>(advance) << 5 | (end ? kEndOfBlock : 0u);
}

// The DC difference of the next block.
template <typename Word>
bool DecodeDcDifference(const JpegDcScan::Table& dc, Bits<Word>& bits, int* difference) {
  bits.Refill();
  int len = 0;
  const int s = DecodeSymbol(dc, bits, &len);
  if (s < 0) return false;
  bits.Skip(len);
  if (s) {
    if constexpr (Bits<Word>::kRefilled < 16 + 11) bits.Refill();
    *difference = Extend(bits.Peek(s), s);
    bits.Skip(s);
  }
  return true;
}

// Steps over the AC codes of a block: after a refill, as many steps of at most kStepBits bits
// as the refill guarantees, without looking at how many bits are left; false for a code not in
// the table.
template <typename Word>
bool SkipAcCodes(const JpegDcScan::Table& ac, Bits<Word>& bits) {
  constexpr int kSteps = Bits<Word>::kRefilled / kStepBits;
  const uint32_t* steps = ac.steps.data();
  for (int pos = 1;;) {
    bits.Refill();
    for (int i = 0; i < kSteps; ++i) {
      const uint32_t e = steps[bits.Peek(kStepBits)];
      uint32_t step = e >> 16;
      const int advance = static_cast<int>(step >> 5 & 63);
      if (__builtin_expect(pos + advance >= 64 || (step & 31) == 0, 0)) {
        // Codes that could run past the block's end are taken one at a time, and a long code
        // (or one whose value bits reach past the step's bits) by its length.
        bits.Refill();
        step = e & 0xFFFF;
        if (step & 31) {
          bits.Skip(static_cast<int>(step & 31));
          if (step & kEndOfBlock) return true;
          pos += static_cast<int>(step >> 5 & 63);
        } else {
          int len = 0;
          const int symbol = DecodeSymbol(ac, bits, &len);
          if (symbol < 0) return false;
          bits.Skip(len);
          if constexpr (Bits<Word>::kRefilled < 16 + 15) bits.Refill();
          bits.Skip(symbol & 15);
          if ((symbol & 15) == 0 && symbol >> 4 != 15) return true;
          pos += (symbol & 15) == 0 ? 16 : (symbol >> 4) + 1;
        }
        if (pos >= 64) return true;
        break;  // more bits taken than the steps' budget: refill
      }
      bits.Skip(static_cast<int>(step & 31));
      if (step & kEndOfBlock) return true;
      pos += advance;
    }
  }
}

uint8_t Level(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

bool JpegDcScan::BuildTable(const HuffmanCodes& codes, bool ac, Table* t) {
  std::memset(t->fast, 0, sizeof t->fast);
  std::memset(t->limit, 0, sizeof t->limit);
  std::memset(t->offset, 0, sizeof t->offset);
  int32_t code = 0;
  int index = 0;
  for (int len = 1; len <= 16; ++len) {
    const int n = codes.counts[len - 1];
    if (index + n > 256) return false;
    t->offset[len] = index - code;
    for (int j = 0; j < n; ++j, ++code, ++index) {
      if (code >= (1 << len) - 1) return false;  // more codes than the length has (all ones is none)
      const uint8_t symbol = codes.symbols[index];
      if (!ac && symbol > 11) return false;  // a DC difference of 8-bit samples has at most 11 bits
      t->symbols[index] = symbol;
      if (len <= 9)
        for (int32_t i = code << (9 - len); i < (code + 1) << (9 - len); ++i)
          t->fast[i] = static_cast<uint16_t>(len << 8 | symbol);
    }
    t->limit[len] = code;
    code <<= 1;
  }
  if (!ac) return true;

  t->steps.assign(size_t{1} << kStepBits, 0);
  for (uint32_t i = 0; i < (1u << kStepBits); ++i) {
    uint32_t first = 0, all = 0;
    int used = 0, advance = 0;
    for (;;) {
      // The code at bit `used` of i, if it and its value bits lie within i.
      const int room = kStepBits - used;
      int len = 0, symbol = -1;
      for (int l = 1; l <= room && l <= 16; ++l) {
        const int32_t c = static_cast<int32_t>((i >> (room - l)) & ((1u << l) - 1));
        if (c < t->limit[l]) {
          len = l;
          symbol = t->symbols[c + t->offset[l]];
          break;
        }
      }
      if (symbol < 0) break;
      const int run = symbol >> 4, size = symbol & 15;
      if (len + size > room) break;
      // Size 0: 15 zeros (ZRL) with run 15, else the end of the block.
      const bool end = size == 0 && run != 15;
      const int step = end ? 0 : size == 0 ? 16 : run + 1;
      if (advance + step > 63) break;
      used += len + size;
      advance += step;
      all = StepEntry(used, advance, end);
      if (!first) first = all;
      if (end || used == kStepBits) break;
    }
    t->steps[i] = first | all << 16;
  }
  return true;
}

bool JpegDcScan::LoadData(ReadFn read, void* context) {
  // Blocks of the picture, for the bound on its data.
  size_t blocks = 0;
  for (int c = 0; c < frame_.components; ++c)
    blocks += static_cast<size_t>(mcu_columns_) * mcu_rows_ * frame_.comp[c].h * frame_.comp[c].v;
  const size_t most = blocks * kMostBytesPerBlock + 65536;
  uint8_t chunk[16384];
  bool marker = false;  // the last byte was 0xFF
  bool ended = false;   // the marker after the scan has been met
  int next_restart = 0;
  segments_.assign(1, 0);
  data_.reserve(size_t{1} << 20);
  while (!ended) {
    const size_t n = read(context, chunk, sizeof chunk);
    if (n == 0) break;  // the file ends inside the scan: decoding runs out of data
    const uint8_t* p = chunk;
    const uint8_t* end = chunk + n;
    while (p < end && !ended) {
      if (marker) {
        const uint8_t b = *p++;
        if (b == 0xFF) continue;  // fill byte
        marker = false;
        if (b == 0x00) {
          data_.push_back(0xFF);  // a stuffed data byte
        } else if (b >= 0xD0 && b <= 0xD7) {
          if ((b & 7) != next_restart) return false;
          next_restart = (next_restart + 1) & 7;
          segments_.push_back(data_.size());
        } else {
          ended = true;  // the marker after the scan
        }
        continue;
      }
      const auto* ff = static_cast<const uint8_t*>(std::memchr(p, 0xFF, static_cast<size_t>(end - p)));
      const uint8_t* stop = ff ? ff : end;
      data_.insert(data_.end(), p, stop);
      p = stop;
      if (ff) {
        marker = true;
        ++p;
      }
    }
    if (data_.size() > most) return false;
  }
  const size_t mcus = static_cast<size_t>(mcu_columns_) * mcu_rows_;
  const size_t intervals = frame_.restart_interval > 0 ? (mcus + frame_.restart_interval - 1) / frame_.restart_interval : 1;
  if (segments_.size() < intervals) return false;
  segments_.resize(intervals);
  segments_.push_back(data_.size());  // the end of the last
  data_.resize(data_.size() + kPadding, 0);
  return true;
}

bool JpegDcScan::Start(const DcScanFrame& frame, ReadFn read, void* context) {
  failed_ = true;
  frame_ = frame;
  if (frame.width <= 0 || frame.height <= 0 || (frame.components != 1 && frame.components != 3) ||
      frame.dc_shift < 0 || frame.dc_shift > 13 || (frame.dc_shift && !frame.dc_scan_only))
    return false;
  // One component is one block an MCU whatever its sampling factors.
  if (frame.components == 1) frame_.comp[0].h = frame_.comp[0].v = 1;
  max_h_ = max_v_ = 1;
  int blocks_in_mcu = 0;
  for (int c = 0; c < frame_.components; ++c) {
    const DcScanComponent& k = frame_.comp[c];
    if (k.h < 1 || k.h > 4 || k.v < 1 || k.v > 4 || k.dc_quant < 1 || k.dc_quant > 65535 || !k.dc) return false;
    if (!BuildTable(*k.dc, false, &dc_[c])) return false;
    if (!frame.dc_scan_only && (!k.ac || !BuildTable(*k.ac, true, &ac_[c]))) return false;
    max_h_ = k.h > max_h_ ? k.h : max_h_;
    max_v_ = k.v > max_v_ ? k.v : max_v_;
    blocks_in_mcu += k.h * k.v;
    frame_.comp[c].dc = frame_.comp[c].ac = nullptr;  // the caller's, read only here
  }
  if (blocks_in_mcu > 10) return false;
  out_width_ = (frame.width + 7) / 8;
  out_height_ = (frame.height + 7) / 8;
  mcu_columns_ = (out_width_ + max_h_ - 1) / max_h_;
  mcu_rows_ = (out_height_ + max_v_ - 1) / max_v_;
  try {
    data_.clear();
    if (!LoadData(read, context)) return false;
    for (int c = 0; c < frame_.components; ++c) {
      const DcScanComponent& k = frame_.comp[c];
      level_stride_[c] = mcu_columns_ * k.h;
      levels_[c].assign(static_cast<size_t>(level_stride_[c]) * k.v, 0);
      column_block_[c].resize(static_cast<size_t>(out_width_));
      for (int x = 0; x < out_width_; ++x) column_block_[c][x] = x * k.h / max_h_;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  segment_ = 0;
  position_ = 0;
  predictors_[0] = predictors_[1] = predictors_[2] = 0;
  restarts_left_ = frame_.restart_interval;
  mcu_row_ = row_in_mcu_ = rows_in_mcu_ = 0;
  failed_ = false;
  return true;
}

bool JpegDcScan::DecodeMcuRow() { return narrow_ ? DecodeMcuRowWith<uint32_t>() : DecodeMcuRowWith<uint64_t>(); }

template <typename Word>
bool JpegDcScan::DecodeMcuRowWith() {
  const uint8_t* base = data_.data() + segments_[segment_];
  size_t length = (segments_[segment_ + 1] - segments_[segment_]) * 8;
  Bits<Word> bits{0, 0, base + position_ / 8};
  bits.Refill();
  bits.Skip(static_cast<int>(position_ % 8));
  for (int mx = 0; mx < mcu_columns_; ++mx) {
    if (frame_.restart_interval > 0) {
      if (restarts_left_ == 0) {
        // The next interval starts on its own byte, with the predictions cleared.
        if (++segment_ + 1 >= segments_.size()) return false;
        base = data_.data() + segments_[segment_];
        length = (segments_[segment_ + 1] - segments_[segment_]) * 8;
        bits = Bits<Word>{0, 0, base};
        predictors_[0] = predictors_[1] = predictors_[2] = 0;
        restarts_left_ = frame_.restart_interval;
      }
      --restarts_left_;
    }
    for (int c = 0; c < frame_.components; ++c) {
      const DcScanComponent& k = frame_.comp[c];
      for (int by = 0; by < k.v; ++by) {
        uint8_t* level = levels_[c].data() + static_cast<size_t>(by) * level_stride_[c] + static_cast<size_t>(mx) * k.h;
        for (int bx = 0; bx < k.h; ++bx) {
          int difference = 0;
          if (!DecodeDcDifference(dc_[c], bits, &difference)) return false;
          if (!frame_.dc_scan_only && !SkipAcCodes(ac_[c], bits)) return false;
          if (difference) {
            const int prediction = predictors_[c] + difference;
            if (prediction < -32768 || prediction > 32767) return false;
            predictors_[c] = prediction;
          }
          // The block's mean: the DC coefficient over 8, rounded, around the middle level.
          const int64_t coefficient = int64_t{predictors_[c]} * (int64_t{1} << frame_.dc_shift) * k.dc_quant;
          level[bx] = Level(((coefficient + 4) >> 3) + 128);
        }
      }
    }
    // Consumed past the interval's data: the scan is short or damaged.
    if (bits.Taken(base) > length) return false;
  }
  // Where the next MCU row starts, from the current interval's start.
  position_ = bits.Taken(base);
  return true;
}

int JpegDcScan::ReadRows(uint8_t* const* rows, int count) {
  int given = 0;
  while (given < count && !failed_) {
    if (row_in_mcu_ == rows_in_mcu_) {
      if (mcu_row_ == mcu_rows_) break;
      if (!DecodeMcuRow()) {
        failed_ = true;
        break;
      }
      const int left = out_height_ - mcu_row_ * max_v_;
      rows_in_mcu_ = left < max_v_ ? left : max_v_;
      row_in_mcu_ = 0;
      ++mcu_row_;
    }
    uint8_t* out = rows[given];
    const int r = row_in_mcu_;
    if (frame_.components == 1) {
      std::memcpy(out, levels_[0].data(), static_cast<size_t>(out_width_));
    } else {
      const uint8_t* lines[3];
      for (int c = 0; c < 3; ++c)
        lines[c] = levels_[c].data() + static_cast<size_t>(r * frame_.comp[c].v / max_v_) * level_stride_[c];
      const int* cb_column = column_block_[1].data();
      const int* cr_column = column_block_[2].data();
      const int* y_column = column_block_[0].data();
      for (int x = 0; x < out_width_; ++x, out += 3) {
        // YCbCr to RGB in 16-bit fixed point, rounded as the JFIF conversion is.
        const int y = lines[0][y_column[x]];
        const int cb = lines[1][cb_column[x]] - 128;
        const int cr = lines[2][cr_column[x]] - 128;
        out[0] = Level(y + ((116130 * cb + 32768) >> 16));
        out[1] = Level(y + ((-22554 * cb - 46802 * cr + 32768) >> 16));
        out[2] = Level(y + ((91881 * cr + 32768) >> 16));
      }
    }
    ++row_in_mcu_;
    ++given;
  }
  return given;
}
