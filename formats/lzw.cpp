#include "formats/lzw.h"

#include <algorithm>

namespace {

// The index a literal code stands for, as delivered: one beyond a byte reads as 0.
inline uint8_t Index(int code) { return static_cast<uint8_t>(code < 256 ? code : 0); }

}  // namespace

void LzwDecoder::Start(int code_size) {
  code_size_ = code_size;
  stopped_ = code_size < 1 || code_size > 11;
  acc_ = 0;
  acc_bits_ = 0;
  block_len_ = block_pos_ = 0;
  data_ended_ = false;
  stack_top_ = 0;
  if (stopped_) return;
  clear_ = 1 << code_size;
  end_ = clear_ + 1;
  ResetTable();
}

void LzwDecoder::ResetTable() {
  next_ = end_ + 1;
  width_ = code_size_ + 1;
  last_ = kNoCode;
}

int LzwDecoder::ReadCode(LzwSource& source) {
  while (acc_bits_ < width_) {
    if (block_pos_ == block_len_) {
      if (data_ended_) return -1;
      block_len_ = source.NextBlock(block_);
      block_pos_ = 0;
      if (block_len_ <= 0 || block_len_ > 255) {
        block_len_ = 0;
        data_ended_ = true;
        return -1;
      }
    }
    acc_ |= static_cast<uint32_t>(block_[block_pos_++]) << acc_bits_;
    acc_bits_ += 8;
  }
  const int code = static_cast<int>(acc_ & ((1u << width_) - 1));
  acc_ >>= width_;
  acc_bits_ -= width_;
  return code;
}

size_t LzwDecoder::Decode(LzwSource& source, uint8_t* out, size_t count) {
  size_t n = 0;
  while (n < count) {
    while (stack_top_ > 0 && n < count) out[n++] = stack_[--stack_top_];
    if (n == count || stopped_) break;
    const int code = ReadCode(source);
    if (code < 0 || code == end_) {
      stopped_ = true;
      break;
    }
    if (code == clear_) {
      ResetTable();
      continue;
    }
    if (last_ == kNoCode) {
      // The first code after a clear code must be an index: the table is empty.
      if (code > end_) {
        stopped_ = true;
        break;
      }
      first_ = Index(code);
      out[n++] = first_;
      last_ = code;
      continue;
    }
    int c = code;
    if (code >= next_) {
      // Only the entry being defined now may be used before it exists: it is the last string
      // followed by that string's first index.
      if (code > next_) {
        stopped_ = true;
        break;
      }
      stack_[stack_top_++] = first_;
      c = last_;
    }
    // Every entry's prefix is an older code, so this walk ends within the table size.
    while (c > end_) {
      stack_[stack_top_++] = suffix_[c];
      c = prefix_[c];
    }
    first_ = Index(c);
    stack_[stack_top_++] = first_;
    // A full table takes no more entries; the codes stay 12 bits until a clear code.
    if (next_ < kLzwMaxCodes) {
      prefix_[next_] = static_cast<uint16_t>(last_);
      suffix_[next_] = first_;
      ++next_;
      if (next_ >= (1 << width_) && width_ < 12) ++width_;
    }
    last_ = code;
  }
  return n;
}

LzwEncoder::LzwEncoder(int bits)
    : code_size_(bits < 2 ? 2 : bits), clear_(1 << code_size_), end_(clear_ + 1), hash_(kHashSize, kEmpty) {
  ResetTable();
  Send(clear_);
}

void LzwEncoder::ResetTable() {
  next_ = end_ + 1;
  width_ = code_size_ + 1;
  limit_ = 1 << width_;
  std::fill(hash_.begin(), hash_.end(), kEmpty);
}

void LzwEncoder::Add(const uint8_t* indexes, size_t count) {
  if (finished_) return;
  uint32_t* const table = hash_.data();
  for (size_t i = 0; i < count; ++i) {
    int p = indexes[i];
    if (p >= clear_) p = 0;  // an index the code size cannot carry
    if (current_ < 0) {
      current_ = p;
      continue;
    }
    const uint32_t key = static_cast<uint32_t>(current_) * 256 + static_cast<uint32_t>(p);
    uint32_t slot = ((key >> 12) ^ key) & (kHashSize - 1);
    bool found = false;
    for (uint32_t e; (e = table[slot]) != kEmpty; slot = (slot + 1) & (kHashSize - 1)) {
      if ((e >> 12) == key) {
        current_ = static_cast<int>(e & 0xFFF);
        found = true;
        break;
      }
    }
    if (found) continue;
    Send(current_);
    if (next_ < kLzwMaxCodes - 1) {
      table[slot] = key << 12 | static_cast<uint32_t>(next_);
      ++next_;
    } else {
      // The table is full: start again with an empty one.
      Send(clear_);
      ResetTable();
    }
    current_ = p;
  }
}

void LzwEncoder::Send(int code) {
  acc_ |= static_cast<uint32_t>(code) << acc_bits_;
  acc_bits_ += width_;
  while (acc_bits_ >= 8) {
    EmitByte(static_cast<uint8_t>(acc_));
    acc_ >>= 8;
    acc_bits_ -= 8;
  }
  if (next_ >= limit_ && width_ < 12) {
    ++width_;
    limit_ <<= 1;
  }
}

void LzwEncoder::EmitByte(uint8_t byte) {
  block_[block_len_++] = byte;
  if (block_len_ == 255) FlushBlock();
}

void LzwEncoder::FlushBlock() {
  if (block_len_ == 0) return;
  out_.push_back(static_cast<uint8_t>(block_len_));
  out_.insert(out_.end(), block_, block_ + block_len_);
  block_len_ = 0;
}

void LzwEncoder::Finish() {
  if (finished_) return;
  if (current_ >= 0) Send(current_);
  Send(end_);
  if (acc_bits_ > 0) EmitByte(static_cast<uint8_t>(acc_));
  acc_ = 0;
  acc_bits_ = 0;
  FlushBlock();
  out_.push_back(0);
  finished_ = true;
}
