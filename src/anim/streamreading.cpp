// Measures the unread rest of a stream through its buffer, so the stream's
// own flags (an end-of-file already met, say) neither matter nor change.
#include "anim/streamreading.h"

#include <streambuf>

namespace {

constexpr long long MIN_CHARS_PER_TOKEN = 2;

// Characters between the read position and the end; 0 when unknown.
long long CharsLeft(std::istream& in) {
  std::streambuf* buf = in.rdbuf();
  if (buf == nullptr) return 0;
  const std::streampos here = buf->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
  if (here == std::streampos(-1)) return 0;
  const std::streampos end = buf->pubseekoff(0, std::ios_base::end, std::ios_base::in);
  buf->pubseekpos(here, std::ios_base::in);
  if (end == std::streampos(-1) || end < here) return 0;
  return static_cast<long long>(end - here);
}

}  // namespace

long long MaxRecordsLeft(std::istream& in, int tokensPerRecord) {
  return CharsLeft(in) / (MIN_CHARS_PER_TOKEN * tokensPerRecord);
}
