// The legal notice shown in the main window's memo.
#pragma once

#include <string>
#include <vector>

class TextMeasure;

// The notice's lines in Windows-1252, broken to the memo's text width, each
// line but the last stretched to that width with runs of spaces between its
// words. Throws std::runtime_error when the words do not make seven lines.
std::vector<std::string> JustifiedNotice(const TextMeasure& measure);
