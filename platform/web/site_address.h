#pragma once
// Where an address the game opens leads on the page. The game opens its help
// page as a document of its folder (platform::document_address, a file://
// address); in the browser its folder is the program's /zarnik, which the
// page fills from the site's data/ folder, so such a document is opened at
// data/<name>, relative to the page. Web addresses stay as they are; any
// other address (another folder of the program's file system, a scheme a
// tab should not be handed) leads nowhere.
#include <string>

namespace platform::web {

// The game's folder in the program's file system (page.js's GAME_DIR).
inline constexpr const char* kGameFolder = "/zarnik/";
// Where the page keeps the files of that folder, relative to the page.
inline constexpr const char* kSiteDataFolder = "data/";

// The address to open in a new tab for `url`, or "" where there is none.
std::string site_address(const std::string& url);

}  // namespace platform::web
