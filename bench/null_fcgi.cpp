// A FastCGI responder that does nothing but answer: the request
// benchmark's floor in FastCGI mode, what the web server's FastCGI round
// trip costs. The web server starts it with the listening socket as its
// standard input, as it starts any FastCGI application.
#include <fcgiapp.h>

#include <cstring>

int main() {
  static const char kResponse[] =
      "Status: 200 OK\r\nContent-Type: text/html\r\nContent-Length: 30\r\n\r\n"
      "<html><body>OK</body></html>\r\n";
  if (FCGX_Init() != 0) return 1;
  FCGX_Request request;
  if (FCGX_InitRequest(&request, 0, 0) != 0) return 1;
  while (FCGX_Accept_r(&request) >= 0) {
    FCGX_PutStr(kResponse, static_cast<int>(std::strlen(kResponse)), request.out);
    FCGX_Finish_r(&request);
  }
  return 0;
}
