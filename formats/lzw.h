// The variable-length LZW code of GIF image data: a decoder that turns the data sub-blocks into
// pixel indexes and an encoder that turns pixel indexes into data sub-blocks. Codes are 12 bits
// at most, packed least significant bit first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kLzwMaxCodes = 4096;

// Where the decoder takes its bytes: the data sub-blocks of one image, one block at a time.
class LzwSource {
 public:
  virtual ~LzwSource() = default;
  // Copies the next sub-block's bytes into block (room for 255) and returns their count; 0 when
  // the data has ended (the zero-length block, the end of the file or a damaged block).
  virtual int NextBlock(uint8_t* block) = 0;
};

class LzwDecoder {
 public:
  // Begins an image with the given minimum code size, 1 to 11 (12-bit codes leave no room for a
  // table above that); with any other size the decoder delivers nothing.
  void Start(int code_size);

  // Decodes up to count indexes into out and returns how many it wrote; an index above 255 (code
  // sizes 9 to 11 can carry them) comes out as 0, as no colour table reaches it. Fewer than
  // count means that the image's data has stopped: an end code, the end of the data or a code
  // that the table cannot hold. Every later call then returns 0.
  size_t Decode(LzwSource& source, uint8_t* out, size_t count);

  bool stopped() const { return stopped_; }

 private:
  static constexpr int kNoCode = -1;
  void ResetTable();
  // The next code from the bit stream; -1 when the data has ended.
  int ReadCode(LzwSource& source);

  int code_size_ = 0;
  int clear_ = 0, end_ = 0;
  int next_ = 0;          // next free table entry
  int width_ = 0;         // bits per code now
  int last_ = kNoCode;    // the code read before, kNoCode right after a clear code
  uint8_t first_ = 0;     // first index of the last code's string (as delivered)
  bool stopped_ = true;

  uint32_t acc_ = 0;      // bit accumulator
  int acc_bits_ = 0;
  uint8_t block_[255];
  int block_len_ = 0, block_pos_ = 0;
  bool data_ended_ = false;

  uint16_t prefix_[kLzwMaxCodes];
  uint8_t suffix_[kLzwMaxCodes];
  uint8_t stack_[kLzwMaxCodes + 1];  // indexes of a string, last first
  int stack_top_ = 0;
};

class LzwEncoder {
 public:
  // Starts the data of one image whose indexes are below 2^bits (bits 1..8; up to 11 gives the
  // wider code sizes some other encoders write); the code size is max(bits, 2). Sends the clear
  // code first.
  explicit LzwEncoder(int bits);

  int code_size() const { return code_size_; }
  // Adds the next indexes of the image, rows in order.
  void Add(const uint8_t* indexes, size_t count);
  // Sends the pending code and the end code and closes the data with the zero-length block.
  void Finish();
  // The data sub-blocks (length byte, then up to 255 bytes) made so far; the caller writes them
  // out and may clear the vector between calls.
  std::vector<uint8_t>& output() { return out_; }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
  static constexpr int kHashSize = 8192;
  void Send(int code);
  void EmitByte(uint8_t byte);
  void FlushBlock();
  void ResetTable();

  int code_size_;
  int clear_, end_;
  int next_ = 0;
  int width_ = 0;
  int limit_ = 0;         // the width grows when next_ reaches this
  int current_ = -1;      // code of the string matched so far; -1 before the first index
  uint32_t acc_ = 0;
  int acc_bits_ = 0;
  uint8_t block_[255];
  int block_len_ = 0;
  bool finished_ = false;
  std::vector<uint32_t> hash_;  // key (prefix code * 256 + index) << 12 | code
  std::vector<uint8_t> out_;
};
