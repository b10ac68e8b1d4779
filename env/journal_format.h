// What the undo journal's writer and its undo share: the journal's file
// names, the hash that tells whether an item still holds what the run made
// of it, and the journal's forms of registry values and roots.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"

namespace quillbank::journal {

inline constexpr const char* kJournalFile = "journal.jsonl";
// How the safe file replacement names its temporary files.
inline constexpr const char* kTemporarySuffix = ".quillbank-tmp";

// Tells whether an item still holds what the run made of it: FNV-1a's
// multiply and xor, taken eight bytes at a time (as little-endian words, the
// order of every system the program runs on) in four lanes that take turns,
// word by word, and are folded into one value at the end. The lanes' chains
// of multiplications do not wait for each other, so a 36 MB prefs.js costs
// about two milliseconds. The same bytes give the same hash however they are
// cut into pieces. It guards against ordinary edits, not against forgery.
class Hash {
 public:
  void Add(std::string_view bytes) {
    std::size_t at = 0;
    if (held_ > 0) {
      while (held_ < kBlock && at < bytes.size()) block_[held_++] = bytes[at++];
      if (held_ < kBlock) return;
      MixBlocks(block_, 1);
      held_ = 0;
    }
    const std::size_t whole = (bytes.size() - at) / kBlock;
    MixBlocks(bytes.data() + at, whole);
    at += whole * kBlock;
    while (at < bytes.size()) block_[held_++] = bytes[at++];
  }
  [[nodiscard]] std::string Text() const {
    std::uint64_t value = kBasis;
    for (const std::uint64_t lane : lanes_) value = Step(value, lane);
    for (std::size_t i = 0; i < held_; ++i) {
      value ^= static_cast<unsigned char>(block_[i]);
      value *= kPrime;
    }
    value = Step(value, blocks_);  // the length, in whole blocks (the rest is above)
    value ^= value >> 29;  // spreads the last word's bits over the whole hash
    std::string text;
    text.reserve(16);
    for (int shift = 60; shift >= 0; shift -= 4) text += "0123456789abcdef"[(value >> shift) & 0xF];
    return text;
  }

 private:
  static constexpr std::size_t kLanes = 4;
  static constexpr std::size_t kBlock = 8 * kLanes;
  static constexpr std::uint64_t kBasis = 0xcbf29ce484222325ull;
  static constexpr std::uint64_t kPrime = 0x100000001b3ull;

  static std::uint64_t Step(std::uint64_t value, std::uint64_t word) {
    value = (value ^ word) * kPrime;
    return value ^ value >> 32;
  }
  // One load, where the system is little-endian (all it runs on are).
  static std::uint64_t Word(const char* eight) {
    std::uint64_t word;
    std::memcpy(&word, eight, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
  }
  // The lanes are worked on in locals, each in a register of its own: the
  // bytes are read through a char pointer, which the compiler must otherwise
  // assume could change them; and x86-64's vector registers have no 64-bit
  // multiply, so GCC's vectorizer would pair the lanes up and build each
  // multiply from a dozen shifts and adds, four times slower. The empty asm
  // statements only tell the compiler each lane lives in a general register.
  void MixBlocks(const char* blocks, std::size_t count) {
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (const char* block = blocks; block != blocks + count * kBlock; block += kBlock) {
      a = Step(a, Word(block));
      b = Step(b, Word(block + 8));
      c = Step(c, Word(block + 16));
      d = Step(d, Word(block + 24));
#if defined(__GNUC__) && defined(__x86_64__)
      asm("" : "+r"(a), "+r"(b), "+r"(c), "+r"(d));
#endif
    }
    lanes_[0] = a;
    lanes_[1] = b;
    lanes_[2] = c;
    lanes_[3] = d;
    blocks_ += count;
  }

  // Each lane starts apart, so that words that trade places change the hash.
  std::uint64_t lanes_[kLanes] = {kBasis, kBasis ^ 0x9e3779b97f4a7c15ull,
                                  kBasis ^ 0x3c6ef372fe94f82aull, kBasis ^ 0xdaa66d2c7ddf743full};
  std::uint64_t blocks_ = 0;
  char block_[kBlock] = {};
  std::size_t held_ = 0;
};

[[nodiscard]] std::string HashOf(std::string_view bytes);
[[nodiscard]] std::string_view BytesOf(const std::vector<std::uint8_t>& data);
// A registry value's hash, its type included.
[[nodiscard]] std::string ValueHash(const RegValue& value);
[[nodiscard]] std::string Hex(std::string_view bytes);
[[nodiscard]] std::vector<std::uint8_t> Unhex(const std::string& hex);
// The root a journal names as regedit does ("HKEY_CURRENT_USER").
[[nodiscard]] RegRoot RootNamed(const std::string& name);
// The journals below the folder, oldest first.
[[nodiscard]] std::vector<std::string> JournalNames(Files& files, const std::string& folder,
                                                    char separator);
void RemoveJournal(Files& files, const std::string& folder, char separator);

}  // namespace quillbank::journal
