// The CSV file that Export writes, kept free of Qt and of the window: RFC 4180 fields,
// UTF-8 with a byte-order mark, CRLF line ends, and a write that either puts the whole
// file in place or leaves nothing behind.
#pragma once

#include <string>
#include <vector>

// A code page 936 text as UTF-8 (through UTF-16, as every conversion of the program).
std::string ansiToUtf8String(const std::string& ansi);

// One field as RFC 4180 writes it: unchanged, or wrapped in double quotes with every
// quote doubled when it holds a comma, a double quote, a CR or an LF.
std::string csvField(const std::string& text);

// The whole document: the UTF-8 byte-order mark, then each line's fields (already UTF-8)
// joined by commas and ended by CRLF.
std::string csvDocument(const std::vector<std::vector<std::string>>& lines);

// Writes `content` to `ansiPath` (code page 936): into a new temporary file in the same
// folder, then renamed over the target, so the target is either the old file or the
// whole new one. Returns an empty string on success, else the reason (code page 936),
// and then no temporary file is left.
std::string writeFileReplacing(const std::string& ansiPath, const std::string& content);
