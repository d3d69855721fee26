// Standard streams over a FastCGI request's streams, so that a FastCGI
// request goes through the same reading and writing as a CGI one.
#pragma once

#include <fcgiapp.h>

#include <streambuf>

namespace portavel {

// The request body (FCGI_STDIN); ends where the web server ends it.
class FcgxInputBuffer : public std::streambuf {
 public:
  explicit FcgxInputBuffer(FCGX_Stream* stream) : stream_(stream) {}

 protected:
  int_type underflow() override;

 private:
  FCGX_Stream* stream_;
  char buffer_[16384];
};

// The response (FCGI_STDOUT). libfcgi buffers, so nothing is buffered here.
class FcgxOutputBuffer : public std::streambuf {
 public:
  explicit FcgxOutputBuffer(FCGX_Stream* stream) : stream_(stream) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize count) override;

 private:
  FCGX_Stream* stream_;
};

}  // namespace portavel
