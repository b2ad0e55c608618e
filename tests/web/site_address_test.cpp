// The addresses the game opens, as the page opens them: its help page from
// the site, web addresses as they are, nothing else.
#include "platform/web/site_address.h"

#include <gtest/gtest.h>

#include "game/game_files.h"
#include "platform/file_names.h"

namespace platform::web {
namespace {

TEST(SiteAddress, TheHelpPageOpensFromTheSiteBesideThePage) {
  // As the menu's help line asks for it: the game's folder is /zarnik/.
  EXPECT_EQ(site_address(document_address(std::string(kGameFolder) + game::kHelpPage)),
            "data/napoveda.html");
  // A name that needs escapes keeps them; a folder below stays below.
  EXPECT_EQ(site_address(document_address("/zarnik/nápověda 2/a.html")),
            "data/n%C3%A1pov%C4%9Bda%202/a.html");
}

TEST(SiteAddress, WebAddressesStayAsTheyAre) {
  EXPECT_EQ(site_address("https://www.debian.org/"), "https://www.debian.org/");
  EXPECT_EQ(site_address("http://example.com/a?b=c#d"), "http://example.com/a?b=c#d");
}

TEST(SiteAddress, NothingElseOpens) {
  for (const char* url : {
           "file:///home/web_user/.config/zarnik.ini",  // another folder
           "file:///zarnikx/a.html",                    // a folder that only starts alike
           "file:///zarnik/",                           // the folder itself
           "file:///zarnik/../etc/passwd",              // out of it
           "file:///zarnik/a/./b.html",
           "file:///zarnik/%2E%2E/x.html",  // out of it, escaped
           "file:///zarnik/a//b.html",
           "file:///zarnik/a.html?x=1",  // not a plain document
           "file:///zarnik/a.html#top",
           "file:///zarnik/a b.html",
           "/zarnik/napoveda.html",  // a path, not an address
           "javascript:alert(1)",
           "data:text/html,x",
           "",
       })
    EXPECT_EQ(site_address(url), "") << url;
}

}  // namespace
}  // namespace platform::web
