// setup.exe as a player meets it: started in the unpacked package folder,
// driven through its controls (browse, a new folder typed and made with
// Enter, OK, INSTALUJ, Ano, the final message), the window's layout measured
// on the screen's pixels, then the installation checked (the 17 lines of
// zarnik.ini, the copies, the shortcuts), the installed game started from
// its Start-menu shortcut, and uninstall.exe run: nothing of the
// installation may stay, and the files planted beside it must. Then the same
// for Czech folder names, each box looked at (its text, its Czech buttons, a
// screenshot): into "C:\Hry a zábava\Žárník", and with the Czech code page
// (the test program run a second time with it, see CMakeLists.txt here)
// into "C:\Střílečky"; on a Western system that folder is refused before
// anything is written. Every program started here is ended when the test
// ends, whatever failed.
#include <gtest/gtest.h>
// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shobjidl.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harness/win32_game_window.h"
#include "installer/core/install.h"
#include "installer/core/layout.h"
#include "platform/files.h"
#include "platform/win32/shell.h"
#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"
#include "shell/settings_file.h"
#include "tests/win32/shell_folders_for_test.h"
#include "version.h"

namespace {

using namespace game_window;

const char* const kPackage = "C:\\zarnik-pkg";
const char* const kParent = "C:\\hry-e2e";  // made in the chooser, and a folder in it
// The screenshots, and the shortcuts copied for scripts/test-windows.sh to
// read with lnkinfo; a run with another code page than the Western one
// keeps its own, named by the code page.
std::string code_page_suffix() {
  const unsigned cp = platform::win32::ansi_code_page();
  return cp == 1252 ? "" : "-" + std::to_string(cp);
}
const std::string kShots = "C:\\zarnik-setup-shots" + code_page_suffix();
const std::string kKeptLinks = "C:\\zarnik-setup-links" + code_page_suffix();
// The Czech folders the installation goes into.
const std::string kCzechParent = "C:\\Hry a zábava";
const std::string kCzechPageParent = "C:\\Střílečky";
const std::string kDesktopParent = "C:\\zarnik-setup-desktop";
const std::string kDesktop = kDesktopParent + "\\Plocha Žofie";
const char* const kForeign = "not the installer's";

using platform::win32::utf16;
using platform::win32::utf8;

// The bytes of a file (empty when it cannot be read).
std::string bytes_of(const std::string& path) {
  try {
    const std::vector<uint8_t> b = platform::read_file(path);
    return {b.begin(), b.end()};
  } catch (const std::exception&) {
    return {};
  }
}

bool exists(const std::string& path) {
  return GetFileAttributesW(utf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> lines_of(const std::string& path) {
  const std::string b = bytes_of(path);
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i; (i = b.find("\r\n", start)) != std::string::npos; start = i + 2)
    out.push_back(b.substr(start, i - start));
  EXPECT_EQ(start, b.size()) << path << " ends in a line without CR LF";
  return out;
}

std::wstring wide(const std::string& s) { return utf16(s); }

// The lines as the settings file holds them: each in the system's code page.
std::vector<std::string> in_file_text(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    std::string t;
    EXPECT_TRUE(platform::to_file_text(l, t)) << l;
    out.push_back(t);
  }
  return out;
}

// The first pixel brighter than a dim grey on a row (vertical = false) or a
// column of the screen, from `from` towards `to` (both included); -1 if none.
int first_lit(const Screen& s, bool vertical, int line, int from, int to) {
  const int step = to >= from ? 1 : -1;
  for (int i = from;; i += step) {
    const uint32_t p = vertical ? s.at(line, i) : s.at(i, line);
    if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) > 120) return i;
    if (i == to) return -1;
  }
}

// A control drawn as a box (a button, a framed panel): its four outer edges
// are where the layout puts them, within a pixel or two of a 3-D border.
// `probe` is how far inside the box the edges are looked for, past any text.
// `out`: how far outside it nothing else is drawn.
void expect_box(const Screen& s, installer::Rect r, const char* what, int probe = 4, int out = 6) {
  constexpr int kTolerance = 2;
  const int kOut = out;
  const int row = r.y + probe, column = r.x + probe;
  EXPECT_NEAR(first_lit(s, false, row, r.x - kOut, r.x + kOut), r.x, kTolerance) << what << " left";
  EXPECT_NEAR(first_lit(s, false, row, r.x + r.w - 1 + kOut, r.x + r.w - 1 - kOut), r.x + r.w - 1,
              kTolerance)
      << what << " right";
  EXPECT_NEAR(first_lit(s, true, column, r.y - kOut, r.y + kOut), r.y, kTolerance)
      << what << " top";
  EXPECT_NEAR(first_lit(s, true, column, r.y + r.h - 1 + kOut, r.y + r.h - 1 - kOut), r.y + r.h - 1,
              kTolerance)
      << what << " bottom";
}

// A line of text: its ink begins at the label's left edge (a glyph's side
// bearing is at most a few pixels) and within its rows.
void expect_text(const Screen& s, installer::Rect r, const char* what) {
  int left = r.x + r.w, top = r.y + r.h;
  for (int y = r.y - 2; y < r.y + r.h; ++y)
    if (int x = first_lit(s, false, y, r.x - 4, r.x + r.w - 1); x >= 0) left = std::min(left, x);
  for (int x = r.x; x < r.x + std::min(r.w, 60); ++x)
    if (int y = first_lit(s, true, x, r.y - 2, r.y + r.h - 1); y >= 0) top = std::min(top, y);
  EXPECT_GE(left, r.x) << what;
  EXPECT_LE(left, r.x + 3) << what;
  EXPECT_GE(top, r.y) << what;
  EXPECT_LE(top, r.y + r.h / 2) << what;
}

// A rectangle given relative to another, on the screen.
installer::Rect inside(installer::Rect r, installer::Rect in) {
  return {in.x + r.x, in.y + r.y, r.w, r.h};
}

// The lit part of a rectangle of the screen.
RECT ink(const Screen& s, RECT in) {
  RECT b{in.right, in.bottom, in.left - 1, in.top - 1};
  for (int y = in.top; y < in.bottom; ++y)
    for (int x = in.left; x < in.right; ++x)
      if (first_lit(s, false, y, x, x) == x) {
        b.left = std::min(b.left, LONG(x));
        b.top = std::min(b.top, LONG(y));
        b.right = std::max(b.right, LONG(x));
        b.bottom = std::max(b.bottom, LONG(y));
      }
  return b;
}

// Where a screenshot named `name` is kept.
std::string shot_path(const std::string& name) { return kShots + "\\" + name + ".bmp"; }

void shot(const Screen& s, const std::string& name) { save_bmp(s, shot_path(name)); }

// The target and the working directory of a shortcut file, and where its
// icon comes from.
bool read_link(const std::string& path, std::string& target, std::string& folder,
               std::string* icon = nullptr, int* icon_index = nullptr) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return false;
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  if (ok) ok = SUCCEEDED(file->Load(wide(path).c_str(), STGM_READ));
  wchar_t buf[MAX_PATH] = L"";
  if (ok) ok = SUCCEEDED(link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH));
  target = utf8(buf);
  buf[0] = 0;
  if (ok) ok = SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH));
  folder = utf8(buf);
  if (ok && icon) {
    buf[0] = 0;
    int index = -1;
    ok = SUCCEEDED(link->GetIconLocation(buf, MAX_PATH, &index));
    *icon = utf8(buf);
    if (icon_index) *icon_index = index;
  }
  if (file) file->Release();
  link->Release();
  return ok;
}

// What Wine's own "reg query" says of the game's entry in the list of
// installed programs: its exit code (0 when the key is there) and output.
std::pair<DWORD, std::string> reg_query(const std::string& value = "") {
  GameProcess reg(L"");
  const std::string key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zarnik";
  const std::string out_file = "C:\\zarnik-reg-query.txt";
  std::string cmd =
      "/c reg query \"" + key + "\"" + (value.empty() ? "" : " /v " + value) + " > " + out_file;
  DWORD code = 999;
  if (reg.start("C:\\windows\\system32\\cmd.exe", "C:\\", cmd)) reg.wait_exit(30000, code);
  const std::string out = bytes_of(out_file);
  DeleteFileA(out_file.c_str());
  return {code, out};
}

class SetupProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A desktop of the test's own, with a Czech name both code pages spell
    // (Wine's own desktop is the Unix home, shared by every prefix).
    CreateDirectoryW(utf16(kDesktopParent).c_str(), nullptr);
    CreateDirectoryW(utf16(kDesktop).c_str(), nullptr);
    folders_.emplace();
    ASSERT_TRUE(folders_->ready());
    folders_->set("Desktop", kDesktop);
    platform::win32::WinShell shell;
    desktop_ = shell.folder("Desktop");
    ASSERT_EQ(desktop_, kDesktop);
    programs_ = shell.folder("Programs");
    ASSERT_FALSE(desktop_.empty() || programs_.empty()) << "the shell names no folders";
    ini_ = platform::win32::system_windows_directory() + "\\zarnik.ini";
    clean();
  }
  // The screenshots and the shortcuts kept for the host, from every test:
  // emptied once, before the first.
  static void SetUpTestSuite() {
    static bool emptied = false;
    if (std::exchange(emptied, true)) return;
    std::error_code ec;
    fs::remove_all(kShots, ec);
    fs::remove_all(kKeptLinks, ec);
    fs::create_directories(kShots);
    fs::create_directories(kKeptLinks);
  }
  void TearDown() override {
    clean();
    folders_.reset();
    CoUninitialize();
  }
  // What this test and an earlier run of it may have left, the installation
  // included (an uninstaller that failed, or none in the package).
  void clean() {
    if (desktop_.empty() || programs_.empty()) return;
    std::error_code ec;
    fs::remove_all(kParent, ec);
    fs::remove_all(fs::path(utf16(kCzechParent)), ec);
    fs::remove_all(fs::path(utf16(kCzechPageParent)), ec);
    DeleteFileW(utf16(desktop_ + "\\Zarnik.lnk").c_str());
    DeleteFileW(utf16(desktop_ + "\\mine-e2e.txt").c_str());
    fs::remove_all(programs_ + "\\ZARNIK", ec);
    DeleteFileA(ini_.c_str());
    // The installations' record beside it, which keeps a score table kept.
    DeleteFileA((ini_.substr(0, ini_.rfind('\\') + 1) + "zarnik-install.rec").c_str());
    // The game's entry in the list of programs.
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zarnik");
  }

  // zarnik.ini's 17 lines (UTF-8) for an installation into `dir` with the
  // desktop shortcut: the game's four lines, the copies in table order, the
  // shortcuts as they were made, itself.
  std::vector<std::string> expected_lines(const std::string& dir) const {
    const std::string programs = programs_ + "\\ZARNIK\\";
    std::vector<std::string> lines{"800", "600", "", dir + "zarnik.lnk"};
    for (const auto& p : installer::kPayload)
      if (p.listed) lines.push_back(dir + p.target);
    for (const std::string& line :
         {programs + "uninstall.lnk", dir + "zarnik.lnk", desktop_ + "\\Zarnik.lnk",
          programs + "Zarnik.lnk", programs + "setup.lnk", ini_})
      lines.push_back(line);
    return lines;
  }

  std::optional<platform::win32::ShellFoldersSetForTest> folders_;
  std::string desktop_, programs_, ini_;
};

TEST_F(SetupProgram, InstallsThroughItsWindowStartsTheGameAndUninstallRemovesOnlyThat) {
  ASSERT_TRUE(fs::exists(std::string(kPackage) + "\\setup.exe")) << "unpack the package first";
  ASSERT_TRUE(fs::exists(std::string(kPackage) + "\\uninstall.exe"))
      << "the package has no uninstaller";
  const std::string planted_on_desktop = desktop_ + "\\mine-e2e.txt";
  platform::write_file_atomic(planted_on_desktop, {kForeign, kForeign + std::strlen(kForeign)});

  GameProcess setup(L"TForm1");
  ASSERT_TRUE(setup.start(std::string(kPackage) + "\\setup.exe", kPackage));
  ASSERT_TRUE(wait_until([&] { return setup.window() != nullptr; }, 30s)) << "no setup window";
  HWND form = setup.window();
  SetForegroundWindow(form);
  std::this_thread::sleep_for(700ms);

  // The window covers the screen; the controls sit where the layout puts
  // them, first as the system places them, then as they are drawn.
  const int W = screen_width(), H = screen_height();
  const auto L = installer::installer_layout(W, H);
  RECT fr{};
  GetWindowRect(form, &fr);
  EXPECT_EQ(fr.left, 0);
  EXPECT_EQ(fr.top, 0);
  EXPECT_EQ(fr.right, W);
  EXPECT_EQ(fr.bottom, H);
  for (auto [caption, r] :
       {std::pair{L"Prohlidnout", L.browse}, std::pair{L"KONEC", L.end},
        std::pair{L"INSTALUJ", L.install}, std::pair{L"Adresář:", L.folder_caption}}) {
    HWND h = child(form, caption);
    ASSERT_NE(h, nullptr);
    RECT cr{};
    GetWindowRect(h, &cr);
    EXPECT_EQ(cr.left, r.x);
    EXPECT_EQ(cr.top, r.y);
    EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP)
        << "the main controls take no tab focus";
  }
  Screen s = grab();
  shot(s, "1-window");
  EXPECT_EQ(s.at(W - 5, 5), 0u) << "the ground is black";
  expect_box(s, L.browse, "Prohlidnout");
  expect_box(s, L.end, "KONEC", 4, 3);  // 5 pixels apart
  expect_box(s, L.install, "INSTALUJ", 4, 3);
  expect_text(s, L.folder_caption, "Adresář:");
  expect_text(s, L.target, "the target folder");
  expect_text(s, L.credit, "the credit line");
  EXPECT_EQ(s.lit(L.progress.x, L.progress.y + 1, L.progress.x + L.progress.w,
                  L.progress.y + L.progress.h),
            0)
      << "the progress bar is hidden";
  // The title picture: the game's name, centred in its 200 x 50 at (24, 24).
  const auto& tp = L.title_picture;
  const RECT title = ink(s, {0, 0, tp.x + tp.w + 40, tp.y + tp.h + 30});
  EXPECT_GE(title.left, tp.x);
  EXPECT_GE(title.top, tp.y);
  EXPECT_LT(title.right, tp.x + tp.w);
  EXPECT_LT(title.bottom, tp.y + tp.h);
  EXPECT_NEAR((title.left + title.right) / 2, tp.x + tp.w / 2, 6) << "centred";
  EXPECT_GT(title.bottom - title.top, 20) << "letters of the picture's height";
  // Its colours run from yellow at the top to orange at the bottom: of
  // the lit pixels, the brightest green falls from row to row.
  const auto greenest = [&](int y) {
    uint32_t g = 0;
    for (int x = title.left; x <= title.right; ++x) g = std::max(g, (s.at(x, y) >> 8) & 0xFF);
    return g;
  };
  EXPECT_GT(greenest(title.top + 3), greenest(title.bottom - 3) + 40) << "no gradient";
  // A click on the title picture writes the credit line on the window
  // beneath its label. Wine has no Arial Black: its stand-in is the label's
  // own face at the label's size and place, so the screen cannot tell; the
  // shot is kept to look at, and the run goes on through the same window.
  click(tp.x + tp.w / 2, tp.y + tp.h / 2);
  std::this_thread::sleep_for(300ms);
  shot(grab(), "1-credit");

  // Browse: the chooser; "Nový adresář": the field holds the folder selected
  // in the list, a new folder's name is typed after it and Enter makes it.
  SendMessageW(child(form, L"Prohlidnout"), BM_CLICK, 0, 0);
  HWND chosen_label = child(form, L"c:\\", L"Static");
  ASSERT_NE(chosen_label, nullptr) << "the chooser shows c:\\ selected";
  SendMessageW(child(form, L"Nový adresář"), BM_CLICK, 0, 0);
  HWND edit = child(form, L"", L"Edit");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(text_of(edit), L"c:\\");
  // The caret is after the folder's name: what is typed is a folder in it.
  for (int vk : std::initializer_list<int>{'H', 'R', 'Y', VK_OEM_MINUS, 'E', '2', 'E'}) press(vk);
  ASSERT_EQ(text_of(edit), L"c:\\hry-e2e") << "typing reached the field";
  press(VK_RETURN);
  EXPECT_TRUE(wait_until([&] { return fs::is_directory(kParent); }, 5s)) << "no new folder";
  EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(edit); }, 5s)) << "the field stays open";
  EXPECT_EQ(text_of(chosen_label), L"c:\\hry-e2e") << "the new folder is selected";
  // A name alone is made inside the folder selected, not where setup.exe
  // was started.
  // The field ends in a separator, so a name typed after it is a folder in
  // the selected one, never glued to its name.
  SendMessageW(child(form, L"Nový adresář"), BM_CLICK, 0, 0);
  EXPECT_EQ(text_of(edit), L"c:\\hry-e2e\\");
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"nova"));
  const std::string chosen = "c:\\hry-e2e\\nova";
  // The chooser with the new-folder entry open, as drawn.
  const installer::Rect new_panel = inside(L.new_panel, L.chooser);
  const installer::Rect storno = inside(L.new_cancel, new_panel);
  const auto drawn = [&](installer::Rect r) {  // a button's face is a light grey
    return grab(r.x, r.y, r.w, r.h).lit(r.x, r.y, r.x + r.w, r.y + r.h) > r.w * r.h / 2;
  };
  wait_until([&] { return drawn(storno); }, 3s);
  s = grab();
  shot(s, "2-new-folder");
  expect_box(s, L.chooser, "the chooser", 20);
  expect_box(s, new_panel, "the new-folder panel", 4, 3);  // the drive box just above
  expect_box(s, inside(L.new_ok, new_panel), "the new folder's OK");
  expect_box(s, storno, "Storno");
  expect_box(s, inside(L.new_folder, L.chooser), "Nový adresář");
  expect_box(s, inside(L.chooser_ok, L.chooser), "the chooser's OK");

  press(VK_RETURN);
  EXPECT_TRUE(wait_until([&] { return fs::is_directory(chosen); }, 5s)) << "no new folder";
  EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(edit); }, 5s)) << "the field stays open";
  EXPECT_EQ(text_of(chosen_label), wide(chosen)) << "the new folder is selected";
  EXPECT_FALSE(fs::exists(std::string(kPackage) + "\\nova"));
  // The chooser's OK: the target is the new folder's "zarnik".
  SendMessageW(child(form, L"OK", L"Button"), BM_CLICK, 0, 0);
  const std::string target = chosen + "\\zarnik";
  EXPECT_NE(child(form, wide(target), L"Static"), nullptr)
      << "the target label shows the new folder";

  // INSTALUJ, Ano to the desktop question, the final message.
  PostMessageW(child(form, L"INSTALUJ"), BM_CLICK, 0, 0);
  std::wstring question, message;
  ASSERT_TRUE(answer_box(setup.id(), IDYES, question)) << "no desktop question";
  EXPECT_EQ(question, L"Zobrazit ikonu na ploše");
  ASSERT_TRUE(answer_box(setup.id(), IDOK, message)) << "no final message";
  EXPECT_EQ(message, L"INSTALACE JE HOTOVA");
  DWORD code = 1;
  ASSERT_TRUE(setup.wait_exit(20000, code)) << "setup.exe did not end";
  EXPECT_EQ(code, 0u);

  // zarnik.ini, in the system's code page.
  const std::string dir = target + "\\", programs = programs_ + "\\ZARNIK\\";
  const std::vector<std::string> expected = expected_lines(dir);
  const auto lines = lines_of(ini_);
  ASSERT_EQ(lines, in_file_text(expected));
  ASSERT_EQ(lines.size(), 18u);
  // The copies are the package's files, byte for byte.
  for (const auto& p : installer::kPayload) {
    const std::string from = std::string(kPackage) + "\\" + p.source, to = dir + p.target;
    const std::string copy = bytes_of(to);
    EXPECT_FALSE(copy.empty()) << to;
    EXPECT_TRUE(copy == bytes_of(from)) << to << " differs from " << from;
  }
  // Every shortcut is there; copies are kept for the host's lnkinfo, named
  // by their line.
  for (size_t i = 3; i < expected.size(); ++i)
    if (expected[i].ends_with(".lnk")) {
      EXPECT_TRUE(platform::file_exists(expected[i])) << expected[i];
      CopyFileW(utf16(expected[i]).c_str(),
                utf16(kKeptLinks + "\\" + std::to_string(i + 1) + "_" +
                      expected[i].substr(expected[i].rfind('\\') + 1))
                    .c_str(),
                FALSE);
    }

  // Each shortcut shows its program's icon, the game's.
  for (const std::string& link : {programs + "Zarnik.lnk", desktop_ + "\\Zarnik.lnk",
                                  programs + "uninstall.lnk", dir + "zarnik.lnk"}) {
    std::string to, in, icon;
    int index = -1;
    ASSERT_TRUE(read_link(link, to, in, &icon, &index)) << link;
    EXPECT_EQ(icon, to) << link;
    EXPECT_EQ(index, 0) << link;
    EXPECT_EQ(ExtractIconExW(utf16(icon).c_str(), -1, nullptr, nullptr, 0), 1u)
        << icon << " carries no icon";
  }

  // The game in the system's list of installed programs, for this user.
  const auto [found, listed] = reg_query();
  EXPECT_EQ(found, 0u) << "reg query finds no entry: " << listed;
  for (const std::string& value : std::vector<std::string>{
           "DisplayName    REG_SZ    Zarnik", "InstallLocation    REG_SZ    " + target,
           "QuietUninstallString    REG_SZ    \"" + dir + "uninstall.exe\" --yes",
           "DisplayIcon    REG_SZ    " + dir + "zarnik.exe,0", "NoModify    REG_DWORD    0x1",
           "NoRepair    REG_DWORD    0x1", "EstimatedSize    REG_DWORD"})
    EXPECT_NE(listed.find(value), std::string::npos) << value << " not in:\n" << listed;

  // The game from its Start-menu shortcut: its target in its working
  // directory runs, shows no error box, and closes when asked.
  std::string program, work_dir;
  const std::string menu_game = programs + "Zarnik.lnk";
  ASSERT_TRUE(read_link(menu_game, program, work_dir)) << menu_game;
  EXPECT_EQ(program, dir + "zarnik.exe");
  EXPECT_EQ(work_dir, dir);
  {
    GameProcess game;
    ASSERT_TRUE(game.start(program, work_dir));
    ASSERT_TRUE(wait_until([&] { return game.window() != nullptr || !game.running(); }, 30s));
    ASSERT_NE(game.window(), nullptr) << "the installed game opened no window";
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(game.running()) << "the installed game ended by itself";
    HWND box = message_box(game.id());
    EXPECT_EQ(box, nullptr) << "the game shows a message box: " << (box ? box_text(box) : L"");
    EXPECT_TRUE(splash_lit()) << "the game shows nothing";
    PostMessageW(game.window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(game.wait_exit(20000, code)) << "the game did not close";
    EXPECT_EQ(code, 0u);
  }
  // The game rewrote its four lines as they were and kept the rest.
  EXPECT_EQ(lines_of(ini_), lines);

  // Files of the user's beside the installation: in the chosen folder and
  // on the desktop.
  const std::string planted = chosen + "\\mine.txt";
  std::ofstream(planted) << kForeign;
  GameProcess uninstall(L"");
  ASSERT_TRUE(uninstall.start(dir + "uninstall.exe", "C:\\", "--yes"));
  ASSERT_TRUE(uninstall.wait_exit(60000, code)) << "uninstall.exe did not end";
  EXPECT_EQ(code, 0u);
  for (size_t i = 3; i + 1 < expected.size(); ++i) EXPECT_FALSE(exists(expected[i])) << expected[i];
  // "--yes" keeps the game's four lines of the settings file (without the
  // installation's list), and the score table the game wrote, and so its
  // folder; the game's entry in the list of programs goes.
  EXPECT_EQ(lines_of(ini_), std::vector<std::string>(lines.begin(), lines.begin() + 4));
  EXPECT_EQ(reg_query().first, 1u) << "reg query still finds the entry";
  std::set<std::string> left;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(utf16(target)), ec))
    left.insert(utf8(e.path().filename().wstring()));
  EXPECT_EQ(left, std::set<std::string>{"data.dat"})
      << "the game folder holds more than the scores";
  EXPECT_FALSE(fs::exists(programs)) << "the Start-menu program folder";
  EXPECT_EQ(bytes_of(planted), kForeign) << "a file of the user's was touched";
  EXPECT_EQ(bytes_of(planted_on_desktop), kForeign) << "a file of the user's was touched";
}

// setup.exe started in the package folder, its window up and in front.
HWND start_setup(GameProcess& setup) {
  if (!setup.start(std::string(kPackage) + "\\setup.exe", kPackage)) {
    ADD_FAILURE() << "setup.exe cannot be started (error " << GetLastError() << ")";
    return nullptr;
  }
  if (!wait_until([&] { return setup.window() != nullptr; }, 30s)) return nullptr;
  SetForegroundWindow(setup.window());
  std::this_thread::sleep_for(700ms);
  return setup.window();
}

// The new-folder entry of the chooser opened, `name` put in its field whole
// (Czech letters cannot be typed as keys) and Enter pressed. A name alone is
// made inside the folder selected.
void new_folder(HWND form, const std::string& name) {
  SendMessageW(child(form, L"Nový adresář"), BM_CLICK, 0, 0);
  HWND edit = child(form, L"", L"Edit");
  ASSERT_NE(edit, nullptr);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(utf16(name).c_str()));
  SetFocus(edit);
  press(VK_RETURN);
}

// The folder `path` selected in the chooser's list, as a click on it does;
// the list's own spelling of it (the drive's letter may differ in case), or
// empty when the list does not show it.
std::string select_folder(HWND form, const std::string& path) {
  HWND list = child(form, L"", L"ListBox");
  const LRESULT i = SendMessageW(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(utf16(path).c_str()));
  if (!list || i == LB_ERR) return {};
  SendMessageW(list, LB_SETCURSEL, WPARAM(i), 0);
  SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
               LPARAM(list));
  std::wstring text(size_t(SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0)) + 1, L'\0');
  text.resize(size_t(SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(text.data()))));
  return utf8(text);
}

class CzechSetup : public SetupProgram {
 protected:
  // Installs through the window into `chosen` + "\zarnik", the chooser led
  // there by the new folders `made` (the first one a full path), Ano to the
  // desktop question; checks the files, the shortcuts and zarnik.ini's
  // lines in the code page; starts the installed game from its Start-menu
  // shortcut with a name in the settings and sees it kept; then runs
  // uninstall.exe as its Start-menu shortcut does, in the game folder, and
  // answers its boxes: nothing of the installation may stay. `tag` names
  // the screenshots.
  void install_play_uninstall(const std::vector<std::string>& made, const std::string& tag) {
    GameProcess setup(L"TForm1");
    HWND form = start_setup(setup);
    ASSERT_NE(form, nullptr) << "no setup window";
    SendMessageW(child(form, L"Prohlidnout"), BM_CLICK, 0, 0);
    std::string chosen;
    // Each name may hold several folders: all are made.
    for (const std::string& name : made) {
      chosen = chosen.empty() ? name : chosen + "\\" + name;
      new_folder(form, name);
      ASSERT_TRUE(wait_until([&] { return platform::folder_exists(chosen); }, 5s))
          << "no new folder " << chosen;
    }
    ASSERT_TRUE(wait_until([&] { return child(form, utf16(chosen), L"Static"); }, 5s))
        << "the chooser does not show " << chosen;
    SendMessageW(child(form, L"OK", L"Button"), BM_CLICK, 0, 0);
    const std::string target = chosen + "\\zarnik";
    ASSERT_NE(child(form, utf16(target), L"Static"), nullptr) << "the target label";
    shot(grab(), tag + "-1-target");

    PostMessageW(child(form, L"INSTALUJ"), BM_CLICK, 0, 0);
    Box question, message;
    ASSERT_TRUE(answer_box(setup.id(), IDYES, question, shot_path(tag + "-2-desktop-question")));
    EXPECT_EQ(question.text, L"Zobrazit ikonu na ploše");
    EXPECT_EQ(question.buttons, L"Ano|Ne");
    ASSERT_TRUE(answer_box(setup.id(), IDOK, message, shot_path(tag + "-3-done")));
    EXPECT_EQ(message.text, L"INSTALACE JE HOTOVA");
    EXPECT_EQ(message.buttons, L"OK");
    DWORD code = 1;
    ASSERT_TRUE(setup.wait_exit(20000, code)) << "setup.exe did not end";
    EXPECT_EQ(code, 0u);

    // zarnik.ini: the paths as they were written, in the system's code page.
    const std::string dir = target + "\\", programs = programs_ + "\\ZARNIK\\";
    const std::vector<std::string> expected = expected_lines(dir);
    const auto lines = lines_of(ini_);
    ASSERT_EQ(lines, in_file_text(expected));
    // The copies are the package's files, byte for byte.
    for (const auto& p : installer::kPayload) {
      const std::string copy = bytes_of(dir + p.target);
      EXPECT_FALSE(copy.empty()) << dir + p.target;
      EXPECT_TRUE(copy == bytes_of(std::string(kPackage) + "\\" + p.source)) << p.target;
    }
    // Every shortcut leads to its program in the Czech folder; copies are
    // kept for the host's lnkinfo, named by the test and the line.
    for (size_t i = 3; i < expected.size(); ++i) {
      if (!expected[i].ends_with(".lnk")) continue;
      std::string program, work_dir;
      ASSERT_TRUE(read_link(expected[i], program, work_dir)) << expected[i];
      EXPECT_EQ(program.rfind(dir, 0), 0u) << expected[i] << " leads to " << program;
      EXPECT_EQ(work_dir, dir) << expected[i];
      CopyFileW(utf16(expected[i]).c_str(),
                utf16(kKeptLinks + "\\" + tag + "_" + std::to_string(i + 1) + ".lnk").c_str(),
                FALSE);
    }

    // The game from its Start-menu shortcut, with a name in the settings:
    // it runs, shows nothing but itself, and keeps the name and the lines.
    std::vector<std::string> named = lines;
    named[2] = "JIRKA";
    shell::write_settings_lines(ini_, named);
    std::string program, work_dir;
    ASSERT_TRUE(read_link(programs + "Zarnik.lnk", program, work_dir));
    {
      GameProcess game;
      ASSERT_TRUE(game.start(program, work_dir));
      ASSERT_TRUE(wait_until([&] { return game.window() != nullptr || !game.running(); }, 30s));
      ASSERT_NE(game.window(), nullptr) << "the installed game opened no window";
      std::this_thread::sleep_for(3s);
      HWND box = message_box(game.id());
      EXPECT_EQ(box, nullptr) << "the game shows a box: " << (box ? utf8(box_text(box)) : "");
      EXPECT_TRUE(splash_lit()) << "the game shows nothing";
      shot(grab(), tag + "-4-game");
      PostMessageW(game.window(), WM_CLOSE, 0, 0);
      ASSERT_TRUE(game.wait_exit(20000, code)) << "the game did not close";
      EXPECT_EQ(code, 0u);
    }
    EXPECT_EQ(lines_of(ini_), named) << "the game rewrote its lines as they were";

    // uninstall.exe as its Start-menu shortcut starts it: in the game folder.
    std::string uninstaller, uninstaller_dir;
    ASSERT_TRUE(read_link(programs + "uninstall.lnk", uninstaller, uninstaller_dir));
    EXPECT_EQ(uninstaller_dir, dir);
    GameProcess uninstall(L"");
    ASSERT_TRUE(uninstall.start(uninstaller, uninstaller_dir));
    Box asked;
    ASSERT_TRUE(answer_box(uninstall.id(), IDYES, asked, shot_path(tag + "-5-uninstall-question")));
    EXPECT_EQ(asked.text.rfind(utf16("Odinstalovat hru Zarnik z adresáře " + target + "?"), 0), 0u)
        << utf8(asked.text);
    EXPECT_EQ(asked.buttons, L"Ano|Ne");
    // The game wrote its score table at its close: the uninstaller asks
    // whether to keep it, and Ne lets everything go.
    ASSERT_TRUE(exists(dir + "data.dat")) << "the game wrote no score table";
    Box keep;
    ASSERT_TRUE(answer_box(uninstall.id(), IDNO, keep, shot_path(tag + "-6-keep-scores")));
    EXPECT_EQ(keep.text.rfind(L"Ponechat tabulku rekordů (data.dat)?", 0), 0u) << utf8(keep.text);
    EXPECT_NE(keep.text.find(utf16(dir + "data.dat")), std::wstring::npos) << utf8(keep.text);
    EXPECT_EQ(keep.buttons, L"Ano|Ne");
    // Then whether to keep the game's settings: Ne takes them too.
    Box settings;
    ASSERT_TRUE(answer_box(uninstall.id(), IDNO, settings, shot_path(tag + "-6-keep-settings")));
    EXPECT_EQ(settings.text.rfind(L"Ponechat nastavení hry", 0), 0u) << utf8(settings.text);
    EXPECT_NE(settings.text.find(utf16(ini_)), std::wstring::npos) << utf8(settings.text);
    Box result;
    ASSERT_TRUE(answer_box(uninstall.id(), IDOK, result, shot_path(tag + "-7-uninstalled")));
    EXPECT_EQ(result.text, L"ODINSTALACE JE HOTOVA");
    EXPECT_EQ(result.buttons, L"OK");
    ASSERT_TRUE(uninstall.wait_exit(30000, code)) << "uninstall.exe did not end";
    EXPECT_EQ(code, 0u);
    for (const std::string& path : expected) {
      if (path.find('\\') != std::string::npos) {
        EXPECT_FALSE(exists(path)) << path;
      }
    }
    EXPECT_FALSE(exists(target)) << "the game folder, though the uninstaller ran in it";
    EXPECT_FALSE(exists(programs)) << "the Start-menu program folder";
    // The folders "Nový adresář" made for the game went with it.
    EXPECT_FALSE(exists(chosen)) << "a folder made in the chooser for the game";
    EXPECT_FALSE(exists(made.front().substr(0, made.front().find('\\', 3))));
  }
};

TEST_F(CzechSetup, AFolderWithCzechLettersInstallsPlaysKeepsItsSettingsAndUninstalls) {
  // Both the Western and the Czech code page spell these letters.
  // Made at once, with the folder on its way.
  install_play_uninstall({std::string(kCzechParent) + "\\Žárník"}, "czech");
}

// Run by the second entry of this program, with the Czech code page (the
// process's locale cs_CZ under Wine).
TEST_F(CzechSetup, WithTheCzechCodePageAFolderOnlyItSpellsInstallsToo) {
  if (platform::win32::ansi_code_page() != 1250) GTEST_SKIP() << "needs the Czech code page";
  install_play_uninstall({kCzechPageParent}, "cp1250");
}

TEST_F(CzechSetup, AFolderTheCodePageCannotSpellIsRefusedInCzechAndNothingIsWritten) {
  if (platform::win32::ansi_code_page() != 1252) GTEST_SKIP() << "needs the Western code page";
  GameProcess setup(L"TForm1");
  HWND form = start_setup(setup);
  ASSERT_NE(form, nullptr) << "no setup window";
  SendMessageW(child(form, L"Prohlidnout"), BM_CLICK, 0, 0);
  // The new-folder entry refuses to make it, and says why.
  new_folder(form, kCzechPageParent);
  Box refused;
  ASSERT_TRUE(answer_box(setup.id(), IDOK, refused, shot_path("refused-1-new-folder")));
  EXPECT_NE(refused.text.find(L"\u0159\u010D"), std::wstring::npos) << utf8(refused.text);
  EXPECT_NE(refused.text.find(L"zarnik.ini"), std::wstring::npos) << utf8(refused.text);
  EXPECT_EQ(refused.buttons, L"OK");
  EXPECT_FALSE(exists(kCzechPageParent));
  SendMessageW(child(form, L"Storno"), BM_CLICK, 0, 0);

  // A folder of that name made otherwise, chosen in the list: INSTALUJ
  // refuses before anything is written, and the window stays for another
  // choice.
  ASSERT_TRUE(CreateDirectoryW(utf16(kCzechPageParent).c_str(), nullptr));
  // The drive chosen again lists the folders anew.
  HWND drives = child(form, L"", L"ComboBox");
  SendMessageW(GetParent(drives), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(drives), CBN_SELCHANGE),
               LPARAM(drives));
  const std::string folder = select_folder(form, kCzechPageParent);
  ASSERT_FALSE(folder.empty());
  SendMessageW(child(form, L"OK", L"Button"), BM_CLICK, 0, 0);
  const std::string target = folder + "\\zarnik";
  ASSERT_NE(child(form, utf16(target), L"Static"), nullptr) << "the target label";
  PostMessageW(child(form, L"INSTALUJ"), BM_CLICK, 0, 0);
  ASSERT_TRUE(answer_box(setup.id(), IDOK, refused, shot_path("refused-2-install")));
  EXPECT_EQ(refused.text.rfind(L"Cílový adresář má v názvu znaky", 0), 0u) << utf8(refused.text);
  EXPECT_NE(refused.text.find(utf16(target)), std::wstring::npos) << utf8(refused.text);
  EXPECT_TRUE(IsWindowVisible(child(form, L"INSTALUJ"))) << "the window stays for another choice";
  EXPECT_FALSE(exists(target));
  EXPECT_FALSE(exists(ini_));
  EXPECT_FALSE(exists(programs_ + "\\ZARNIK"));
  EXPECT_FALSE(exists(desktop_ + "\\Zarnik.lnk"));
  SendMessageW(child(form, L"KONEC"), BM_CLICK, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(setup.wait_exit(20000, code)) << "setup.exe did not end";
}

// The three programs of the package as the system reads them: the game's
// icon, the version information (product Zarnik, this version, the team),
// and a manifest that asks for nothing but the user's rights.
TEST(ProgramIdentity, EveryProgramCarriesTheGamesIconItsVersionAndAManifest) {
  for (const char* name : {"hra.xxx", "setup.exe", "uninstall.exe"}) {
    SCOPED_TRACE(name);
    const std::wstring path = utf16(std::string(kPackage) + "\\" + name);
    EXPECT_EQ(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 1u) << "no icon";
    HICON large = nullptr;
    EXPECT_EQ(ExtractIconExW(path.c_str(), 0, &large, nullptr, 1), 1u);
    EXPECT_NE(large, nullptr) << "the icon cannot be drawn";
    if (large) DestroyIcon(large);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version information";
    std::vector<uint8_t> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    auto value = [&](const wchar_t* what) {
      wchar_t* text = nullptr;
      UINT length = 0;
      const std::wstring key = std::wstring(L"\\StringFileInfo\\040504b0\\") + what;
      if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length))
        return std::string("(none)");
      return utf8(std::wstring(text, length ? length - 1 : 0));
    };
    EXPECT_EQ(value(L"ProductName"), "Zarnik");
    EXPECT_EQ(value(L"ProductVersion"), ZARNIK_VERSION);
    EXPECT_EQ(value(L"FileVersion"), ZARNIK_VERSION);
    EXPECT_EQ(value(L"CompanyName"), "tým zarnik");

    HMODULE m = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr);
    HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(r, nullptr) << "no manifest";
    const char* text = static_cast<const char*>(LockResource(LoadResource(m, r)));
    const std::string manifest(text, SizeofResource(m, r));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    FreeLibrary(m);
  }
}

}  // namespace
