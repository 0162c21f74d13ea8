#include "jump/url_parts.hpp"

#include <gtest/gtest.h>

namespace glimmet::testing {
namespace {

TEST(URLPartsTest, SplitsSchemeAuthorityPathQueryAndFragment) {
  const auto full = parseURLParts("HTTPS://user:pw@Example.com:8443/a/b?x=1&y=2#top");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->scheme, "https");
  EXPECT_TRUE(full->hasAuthority);
  EXPECT_EQ(full->host, "Example.com");
  EXPECT_EQ(full->port, 8443);
  EXPECT_EQ(full->path, "/a/b");
  EXPECT_EQ(full->query, "x=1&y=2");
  EXPECT_EQ(full->fragment, "top");

  const auto ipv6 = parseURLParts("http://[::1]:80/");
  ASSERT_TRUE(ipv6);
  EXPECT_EQ(ipv6->host, "::1");
  EXPECT_EQ(ipv6->port, 80);

  // No authority: the rest is the path; an empty authority is still one.
  const auto opaque = parseURLParts("javascript:alert(1)");
  ASSERT_TRUE(opaque);
  EXPECT_EQ(opaque->scheme, "javascript");
  EXPECT_FALSE(opaque->hasAuthority);
  EXPECT_EQ(opaque->path, "alert(1)");
  const auto fileURL = parseURLParts("file:///tmp/a%20b");
  ASSERT_TRUE(fileURL);
  EXPECT_TRUE(fileURL->hasAuthority);
  EXPECT_EQ(fileURL->host, "");
  EXPECT_EQ(fileURL->path, "/tmp/a%20b");
  EXPECT_EQ(fileURL->decodedPath(), "/tmp/a b");

  // A query or fragment right after the authority, and "?" inside a fragment.
  const auto bare = parseURLParts("iterm2://host?q#f?g");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->host, "host");
  EXPECT_EQ(bare->path, "");
  EXPECT_EQ(bare->query, "q");
  EXPECT_EQ(bare->fragment, "f?g");
  const auto emptyQuery = parseURLParts("iterm2:?");
  ASSERT_TRUE(emptyQuery);
  EXPECT_EQ(emptyQuery->query, "");
}

TEST(URLPartsTest, RelativeReferencesHaveNoScheme) {
  for (const char* text : {"notes.txt", "./a:b", "/abs/path:with-colon", "1http://x", "-x:y",
                           "?only=query", "#frag", "//host/only"}) {
    const auto parts = parseURLParts(text);
    ASSERT_TRUE(parts) << text;
    EXPECT_EQ(parts->scheme, "") << text;
  }
  EXPECT_EQ(parseURLParts("//host/only")->host, "host");
  EXPECT_EQ(parseURLParts("a+b.c-d:rest")->scheme, "a+b.c-d");
  EXPECT_EQ(parseURLParts("C:relative")->scheme, "c");
}

TEST(URLPartsTest, RejectsTextNoURLMayHold) {
  for (const char* text : {"", "https://exa mple.com", "https://x/\t", "https://x/<y>",
                           "https://x/a\"b", "https://x/%zz", "https://x/%4", "https://x/{}",
                           "https://x/a|b", "https://x\\y", "https://x/é", "http://[::1/",
                           "http://h:99999/", "http://h:8a/", "http://h]:80/", "line\nbreak:x"}) {
    EXPECT_FALSE(parseURLParts(text)) << text;
  }
  EXPECT_TRUE(parseURLParts("http://h:/"));  // an empty port is allowed
}

}  // namespace
}  // namespace glimmet::testing
