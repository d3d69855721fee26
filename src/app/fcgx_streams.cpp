#include "app/fcgx_streams.h"

#include <algorithm>
#include <climits>

namespace portavel {

FcgxInputBuffer::int_type FcgxInputBuffer::underflow() {
  const int count = FCGX_GetStr(buffer_, sizeof buffer_, stream_);
  if (count <= 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + count);
  return traits_type::to_int_type(buffer_[0]);
}

FcgxOutputBuffer::int_type FcgxOutputBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  return FCGX_PutChar(traits_type::to_char_type(c), stream_) < 0 ? traits_type::eof() : c;
}

std::streamsize FcgxOutputBuffer::xsputn(const char* data, std::streamsize count) {
  std::streamsize written = 0;
  while (written < count) {
    const int chunk = static_cast<int>(std::min<std::streamsize>(count - written, INT_MAX));
    const int put = FCGX_PutStr(data + written, chunk, stream_);
    if (put <= 0) break;
    written += put;
  }
  return written;
}

}  // namespace portavel
