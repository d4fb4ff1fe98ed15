// Reading request heads for the browser preview.
#include "tools/http_request.h"

#include <gtest/gtest.h>

namespace norvo::probe {
namespace {

TEST(HttpRequestHead, ReadsRequestLineAndFields) {
  HttpRequest r;
  ASSERT_TRUE(parseHttpRequestHead(
      "POST /.norvo-probe/post HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nContent-LENGTH:  12 \r\n"
      "X-Empty:\r\nhost: second",
      r));
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.target, "/.norvo-probe/post");
  EXPECT_EQ(r.version, "HTTP/1.1");
  EXPECT_EQ(r.header("host"), "127.0.0.1:8080");  // the first of two wins
  EXPECT_EQ(r.header("content-length"), "12");
  bool present = false;
  EXPECT_EQ(r.header("x-empty", &present), "");
  EXPECT_TRUE(present);
  r.header("origin", &present);
  EXPECT_FALSE(present);
  ASSERT_TRUE(parseHttpRequestHead("GET / HTTP/1.0\nHost: a", r));
  EXPECT_EQ(r.header("host"), "a");
}

TEST(HttpRequestHead, RefusesMalformedHeads) {
  for (const char* head :
       {"", "GET /", "GET / HTTP/2", "GET  / HTTP/1.1", "GET / HTTP/1.1 extra", "G(T / HTTP/1.1",
        "GET /a\x01 HTTP/1.1", "GET / HTTP/1.1\r\nNoColon", "GET / HTTP/1.1\r\n: value",
        "GET / HTTP/1.1\r\nBad Name: v", "GET / HTTP/1.1\r\nHost: a\x7f", " GET / HTTP/1.1"}) {
    HttpRequest r;
    r.method = "unchanged";
    EXPECT_FALSE(parseHttpRequestHead(head, r)) << head;
    EXPECT_EQ(r.method, "unchanged") << head;
  }
}

}  // namespace
}  // namespace norvo::probe
