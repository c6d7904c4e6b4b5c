// The version texts the launcher compares: the server's Versione.Txt and the
// local VersioneAttuale.Txt.
#pragma once

#include <string>

// The version of a file's bytes: its last non-blank line, trimmed of every
// leading and trailing character of code 32 or less, cut to 255 characters;
// empty when there is none. A line ends at CR, LF or CR LF; a NUL byte ends
// the text. Nothing else is interpreted: a byte-order mark is part of the
// text.
std::string VersionFromText(const std::string& bytes);

// VersionFromText of the whole file; raises the class library's file error
// when it cannot be opened or read.
std::string ReadVersionFile(const std::string& path);
