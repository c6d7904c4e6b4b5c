// The version texts the launcher compares: the server's Versione.Txt and the
// local VersioneAttuale.Txt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The version of a text fed in pieces of any size: its last non-blank line,
// trimmed of every leading and trailing character of code 32 or less, cut to
// 255 characters; empty when there is none. A line ends at CR, LF or CR LF,
// also when a piece ends between the CR and the LF; a NUL byte ends the text. Nothing else is interpreted: a byte-order mark is
// part of the text. Whatever the length of the text and of its lines, it
// holds no more than two texts of 255 characters.
class TVersionScanner {
 public:
  // Takes the next bytes of the text. False once a NUL has ended it: what
  // follows need not be fed and is ignored.
  bool Feed(const char* data, std::size_t size);
  // The version of everything fed so far.
  std::string Version() const;

 private:
  void AddToLine(const char* data, std::size_t size);
  void EndLine();
  // The current line's version text: its trimmed length, at most 255.
  std::size_t VersionLength() const;

  std::string version_;              // of the last non-blank line ended so far
  std::string lineHead_;             // the current line's first 255 characters after its leading blanks
  std::uint64_t lineLength_ = 0;     // characters of the current line after its leading blanks
  std::uint64_t trimmedLength_ = 0;  // the same up to its last non-blank character
  bool ended_ = false;
};

// The version of bytes held in memory.
std::string VersionFromText(const std::string& bytes);

// The largest server version file the run accepts, far above any real one
// (a few bytes): a longer one is cut off in its transfer and fails the step,
// so that a server cannot fill the disk with it.
constexpr std::uint64_t kMaxVersionFileBytes = 64 * 1024;

// ReadVersionFile reads this many bytes at a time.
constexpr std::size_t kVersionFileBlock = 4096;

// The version of the file, read in blocks up to its end or its first NUL, so
// that memory stays within a few KiB whatever the file holds. Raises the
// class library's file error when it cannot be opened or read.
std::string ReadVersionFile(const std::string& path);
