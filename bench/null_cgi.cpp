// A CGI program that does nothing but answer: the request benchmark's
// floor, what the web server's fork and exec of any program cost.
#include <cstdio>
#include <cstring>

int main() {
  static const char kBody[] = "<html><body>OK</body></html>\r\n";
  std::printf("Status: 200 OK\r\nContent-Type: text/html\r\nContent-Length: %zu\r\n\r\n%s",
              std::strlen(kBody), kBody);
  return 0;
}
