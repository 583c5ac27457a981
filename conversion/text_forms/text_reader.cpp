#include "conversion/text_forms/text_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace qv::text_forms {

namespace {

// Progress is reported this often (in characters of text).
constexpr int64_t kCheckEvery = int64_t{4} << 20;

bool IsContinuation(char c) {
  return (static_cast<uint8_t>(c) & 0xC0) == 0x80;
}

// Line breaks in [from, to): LF, and CR not followed by LF (CR LF counts once).
int64_t CountLineBreaks(const char* from, const char* to, const char* end) {
  int64_t n = 0;
  const int64_t length = to - from;
  for (int64_t i = 0; i < length; ++i) {
    const char c = from[i];
    n += (c == '\n') | ((c == '\r') & (from + i + 1 == end || from[i + 1] != '\n'));
  }
  return n;
}

}  // namespace

char32_t DecodeCharacter(const char* p, const char* end) {
  const auto b0 = static_cast<uint8_t>(*p);
  if (b0 < 0x80) return b0;
  int length = 0;
  char32_t c = 0;
  if ((b0 & 0xE0) == 0xC0) {
    length = 2;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4;
    c = b0 & 0x07;
  } else {
    return 0xFFFD;
  }
  if (end - p < length) return 0xFFFD;
  for (int i = 1; i < length; ++i) {
    if (!IsContinuation(p[i])) return 0xFFFD;
    c = (c << 6) | (static_cast<uint8_t>(p[i]) & 0x3F);
  }
  return c;
}

bool StartsWithNoCase(const char* p, const char* end, std::string_view word) {
  if (end - p < static_cast<int64_t>(word.size())) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Lower(p[i]) != word[i]) return false;
  }
  return true;
}

int64_t CountCharacters(const char* from, const char* to) {
  // Blocks of 255 rows of 16 bytes counted in byte-sized sums, which the
  // compiler turns into vector adds; the sums cannot pass 255 in a block.
  constexpr int kRows = 255, kWidth = 16;
  int64_t n = 0;
  const char* p = from;
  for (; to - p >= kRows * kWidth; p += kRows * kWidth) {
    uint8_t sums[kWidth] = {};
    for (int row = 0; row < kRows; ++row) {
      for (int j = 0; j < kWidth; ++j) sums[j] += !IsContinuation(p[row * kWidth + j]);
    }
    for (const uint8_t sum : sums) n += sum;
  }
  for (; p < to; ++p) n += !IsContinuation(*p);
  return n;
}

void LocatePlaces(std::string_view text, THexTextPlace* const* places, size_t count) {
  std::vector<THexTextPlace*> sorted(places, places + count);
  std::sort(sorted.begin(), sorted.end(),
            [](const THexTextPlace* a, const THexTextPlace* b) { return a->Offset < b->Offset; });
  const char* begin = text.data();
  const char* end = begin + text.size();
  // One pass for all places: the text up to `counted` is counted once.
  const char* counted = begin;
  int64_t line = 1;
  int64_t column = 1;  // of `counted`
  for (THexTextPlace* place : sorted) {
    const auto offset = std::clamp<int64_t>(place->Offset, 0, static_cast<int64_t>(text.size()));
    const char* at = begin + offset;
    const int64_t breaks = CountLineBreaks(counted, at, end);
    if (breaks > 0) {
      line += breaks;
      const char* start = at;
      while (!(start[-1] == '\n' || (start[-1] == '\r' && (start == end || *start != '\n'))))
        --start;
      column = CountCharacters(start, at) + 1;
    } else {
      column += CountCharacters(counted, at);
    }
    counted = at;
    place->Line = line;
    place->Column = column;
    place->Character = at < end ? DecodeCharacter(at, end) : 0;
  }
}

TTextReader::TTextReader(std::string_view text, const TRecogniseOptions& options,
                         TRecognition& result, int64_t capacity)
    : text_(text),
      begin_(text.data()),
      end_(text.data() + text.size()),
      options_(options),
      result_(result),
      check_at_(text.data() + std::min<int64_t>(kCheckEvery, static_cast<int64_t>(text.size()))) {
  // A few bytes of slack: the fast paths may write a whole step before they check.
  result_.Bytes.resize(static_cast<size_t>(capacity) + 16);
  base_ = out_ = reinterpret_cast<uint8_t*>(result_.Bytes.data());
  limit_ = base_ + capacity;
}

uint8_t* TTextReader::Reserve(uint8_t* out, int64_t more) {
  const int64_t written = out - base_;
  if (more > options_.MaxBytes - written) {
    too_large_ = true;
    return nullptr;
  }
  if (more <= limit_ - out) return out;
  const int64_t capacity = std::max<int64_t>(2 * (limit_ - base_), written + more);
  try {
    result_.Bytes.resize(static_cast<size_t>(capacity) + 16);
  } catch (const std::bad_alloc&) {
    too_large_ = true;
    return nullptr;
  }
  base_ = reinterpret_cast<uint8_t*>(result_.Bytes.data());
  limit_ = base_ + capacity;
  return base_ + written;
}

void TTextReader::Issue(THexTextIssueKind kind, const char* at, int64_t count) {
  ++result_.IssueCount;
  if (result_.Issues.size() >= kMaxHexTextIssues) return;
  THexTextIssue issue;
  issue.Kind = kind;
  issue.Place.Offset = at - begin_;
  issue.Count = count;
  result_.Issues.push_back(issue);
}

void TTextReader::Unplaced(THexTextIssueKind kind, const char* from, const char* to) {
  const int64_t characters = CountCharacters(from, to);
  result_.Unplaced += characters;
  Issue(kind, from, characters);
}

bool TTextReader::Report(const char* p) {
  if (p >= end_) {
    if (end_reported_) return !cancelled_;  // the end is reported once
    end_reported_ = true;
  }
  check_at_ = p + std::min<int64_t>(kCheckEvery, end_ - p);
  if (options_.Progress && !options_.Progress(p - begin_, end_ - begin_)) cancelled_ = true;
  return !cancelled_;
}

void TTextReader::Finish(THexTextForm form) {
  if (cancelled_ || too_large_) {
    result_ = TRecognition();
    result_.Refusal = cancelled_ ? THexTextRefusal::Cancelled : THexTextRefusal::TooLarge;
    return;
  }
  const int64_t written = out_ - base_;
  if (written > options_.MaxBytes) {
    result_ = TRecognition();
    result_.Refusal = THexTextRefusal::TooLarge;
    return;
  }
  result_.Bytes.resize(static_cast<size_t>(written));
  // The estimate can be three times the bytes (a C array): give the rest back.
  if (result_.Bytes.capacity() > 2 * result_.Bytes.size() + 4096) result_.Bytes.shrink_to_fit();
  result_.Form = form;
  result_.Characters = CountCharacters(begin_, end_);
  result_.Removed = result_.Characters - data_;
  std::vector<THexTextPlace*> places;
  for (THexTextIssue& issue : result_.Issues) places.push_back(&issue.Place);
  LocatePlaces(text_, places.data(), places.size());
}

}  // namespace qv::text_forms
