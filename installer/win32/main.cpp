// setup.exe: the installer's window of Win32 controls over the installation
// procedure of installer/core.
// clang-format off
// windows.h first: the other system headers need its types.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "installer/core/install.h"
#include "installer/core/layout.h"
#include "installer/core/registration.h"
#include "installer/core/title.h"
#include "installer/win32/registry.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/win32/message_box.h"
#include "platform/win32/shell.h"
#include "platform/winapi/utf16.h"

namespace {

enum Id {
  kBrowse = 101,
  kEnd,
  kInstall,
  kNewFolder,
  kChooserOk,
  kNewOk,
  kNewCancel,
  kDrives,
  kFolders,
  kEdit,
  kTitle
};

using platform::win32::BoxIcon;
using platform::win32::utf16;
using platform::win32::utf8;

// The controls' texts are the programs' own UTF-8, set and read through the
// wide calls.
void set_text(HWND h, const std::string& text) { SetWindowTextW(h, utf16(text).c_str()); }

std::string text_of(HWND h) {
  std::wstring text(size_t(GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(h, text.data(), int(text.size()))));
  return utf8(text);
}

void add_item(HWND list, UINT add, const std::string& text) {
  SendMessageW(list, add, 0, LPARAM(utf16(text).c_str()));
}

// Item `i` of a list box or combo box, by its length and text messages.
std::string item_of(HWND list, LRESULT i, UINT get_length, UINT get_text) {
  const LRESULT n = SendMessageW(list, get_length, WPARAM(i), 0);
  if (i < 0 || n < 0) return {};
  std::wstring text(size_t(n) + 1, L'\0');
  const LRESULT got = SendMessageW(list, get_text, WPARAM(i), LPARAM(text.data()));
  text.resize(got < 0 ? 0 : size_t(got));
  return utf8(text);
}

// The title picture (core/title.h) as a bitmap for a static control: the
// text is drawn white on black with grey-scale smoothing, and its coverage
// then scales the gradient's colour of each row. The window's ground is
// black, so the picture's transparent ground is black here.
HBITMAP title_bitmap(int w, int h) {
  const installer::TitlePicture& t = installer::kTitlePicture;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HDC dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) {
    DeleteDC(dc);
    return nullptr;
  }
  const HGDIOBJ old_bitmap = SelectObject(dc, bmp);
  RECT r{0, 0, w, h};
  FillRect(dc, &r, HBRUSH(GetStockObject(BLACK_BRUSH)));
  // The face asked for, else the heaviest face Windows always has.
  auto font_of = [&](const wchar_t* face) {
    return CreateFontW(-t.pixel_height, 0, 0, 0, FW_BLACK, TRUE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
  };
  const std::wstring asked = utf16(t.face);
  HFONT font = font_of(asked.c_str());
  HGDIOBJ old_font = SelectObject(dc, font);
  wchar_t got[LF_FACESIZE] = L"";
  GetTextFaceW(dc, LF_FACESIZE, got);
  if (lstrcmpiW(got, asked.c_str()) != 0) {
    SelectObject(dc, old_font);
    DeleteObject(font);
    font = font_of(L"Arial Black");
    old_font = SelectObject(dc, font);
  }
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  const std::wstring text = utf16(t.text);
  DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  GdiFlush();
  auto* px = static_cast<uint32_t*>(bits);
  for (int y = 0; y < h; ++y) {
    // The gradient at the middle of the row, from the top edge to the bottom.
    const double at = (y + 0.5) / h;
    auto channel = [&](int shift) {
      const double a = (t.top >> shift) & 0xFF, b = (t.bottom >> shift) & 0xFF;
      return a + (b - a) * at;
    };
    const double red = channel(16), green = channel(8), blue = channel(0);
    for (int x = 0; x < w; ++x) {
      uint32_t& p = px[size_t(y) * size_t(w) + size_t(x)];
      const double cover = double(std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF})) / 255;
      p = uint32_t(red * cover + 0.5) << 16 | uint32_t(green * cover + 0.5) << 8 |
          uint32_t(blue * cover + 0.5);
    }
  }
  SelectObject(dc, old_font);
  DeleteObject(font);
  SelectObject(dc, old_bitmap);
  DeleteDC(dc);
  return bmp;
}

struct Form : installer::InstallUi {
  HWND wnd{}, title{}, credit{}, caption{}, target_label{}, progress{}, browse{}, end{}, install{};
  HWND chooser{}, chosen{}, drives{}, folders{}, new_folder{}, chooser_ok{};
  HWND new_panel{}, new_caption{}, edit{}, new_ok{}, new_cancel{};
  HFONT bold{};
  HBRUSH black = HBRUSH(GetStockObject(BLACK_BRUSH));
  installer::InstallerLayout L{};
  std::string source, target, folder;     // folder: the one selected in the tree
  std::vector<std::string> made_folders;  // by "Nový adresář"
  bool credit_on_window = false;          // the title picture was clicked

  void set_progress(int position) override { SendMessageW(progress, PBM_SETPOS, position, 0); }
  bool ask_desktop_shortcut() override {
    return platform::win32::ask_yes_no(wnd, "ZARNIK", "Zobrazit ikonu na ploše");
  }
  void show_error(const std::string& text) override {
    platform::win32::message_box(wnd, "ZARNIK", text, BoxIcon::Error);
  }

  HWND make(HWND parent, const wchar_t* cls, const std::string& text, DWORD style,
            installer::Rect r, int id = 0) {
    HWND h = CreateWindowExW(0, cls, utf16(text).c_str(),
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, r.x, r.y, r.w, r.h,
                             parent, HMENU(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, WPARAM(bold ? bold : GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return h;
  }

  // The folder tree as a list: the parents of the selected folder, then its
  // subfolders; a double click selects an entry.
  void show_folder(std::string f) {
    if (f.empty()) return;
    if (f.back() != '\\') f += '\\';
    folder = f.size() > 3 ? f.substr(0, f.size() - 1) : f;
    set_text(chosen, folder);
    SendMessageW(folders, LB_RESETCONTENT, 0, 0);
    add_item(folders, LB_ADDSTRING, f.substr(0, 3));
    for (size_t i = 3; (i = f.find('\\', i)) != std::string::npos; ++i)
      add_item(folders, LB_ADDSTRING, f.substr(0, i));
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(utf16(f + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring n = fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && n != L"." && n != L"..")
          add_item(folders, LB_ADDSTRING, f + utf8(n));
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
  }

  void create(HWND w) {
    wnd = w;
    source = installer::source_folder();  // first: before anything can change it
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(w, HWND_TOP, 0, 0, W, H, SWP_NOZORDER);
    L = installer::installer_layout(W, H);
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    // An installation there is already is offered again.
    target =
        installer::offered_target(platform::settings_directory(),
                                  installer::windows_default_target(IsUserAnAdmin(), utf8(local)));

    bold = CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    title = make(w, L"STATIC", "", SS_BITMAP | SS_NOTIFY, L.title_picture, kTitle);
    if (HBITMAP picture = title_bitmap(L.title_picture.w, L.title_picture.h))
      SendMessageW(title, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(picture));
    credit = make(w, L"STATIC", installer::kCreditLine, SS_NOPREFIX, L.credit);
    caption = make(w, L"STATIC", "Adresář:", 0, L.folder_caption);
    target_label = make(w, L"STATIC", "", SS_NOPREFIX, L.target);
    set_text(target_label, target);
    progress = make(w, PROGRESS_CLASSW, "", 0, L.progress);
    ShowWindow(progress, SW_HIDE);
    SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    // The three main buttons take no focus by tabbing: no WS_TABSTOP.
    browse = make(w, L"BUTTON", "Prohlidnout", BS_PUSHBUTTON, L.browse, kBrowse);
    end = make(w, L"BUTTON", "KONEC", BS_PUSHBUTTON, L.end, kEnd);
    install = make(w, L"BUTTON", "INSTALUJ", BS_PUSHBUTTON, L.install, kInstall);

    chooser = make(w, L"STATIC", "", SS_NOTIFY, L.chooser);
    SetWindowLongPtrW(chooser, GWLP_WNDPROC, LONG_PTR(&panel_proc));
    chosen = make(chooser, L"STATIC", "", SS_NOPREFIX, L.chosen_folder);
    drives = make(chooser, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, L.drives,
                  kDrives);
    wchar_t roots[512] = {};
    GetLogicalDriveStringsW(DWORD(std::size(roots) - 1), roots);
    for (const wchar_t* d = roots; *d; d += wcslen(d) + 1)
      SendMessageW(drives, CB_ADDSTRING, 0, LPARAM(std::wstring(d, 2).c_str()));
    SendMessageW(drives, CB_SELECTSTRING, WPARAM(-1), LPARAM(L"c:"));
    folders = make(chooser, L"LISTBOX", "", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
                   L.folders, kFolders);
    new_folder = make(chooser, L"BUTTON", "Nový adresář", WS_TABSTOP, L.new_folder, kNewFolder);
    chooser_ok = make(chooser, L"BUTTON", "OK", WS_TABSTOP, L.chooser_ok, kChooserOk);
    new_panel = make(chooser, L"STATIC", "", SS_NOTIFY, L.new_panel);
    SetWindowLongPtrW(new_panel, GWLP_WNDPROC, LONG_PTR(&panel_proc));
    new_caption = make(new_panel, L"STATIC", "nový adresář", 0, L.new_caption);
    edit = make(new_panel, L"EDIT", "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, L.new_edit, kEdit);
    SetWindowLongPtrW(edit, GWLP_USERDATA,
                      SetWindowLongPtrW(edit, GWLP_WNDPROC, LONG_PTR(&edit_proc)));
    new_ok = make(new_panel, L"BUTTON", "OK", WS_TABSTOP, L.new_ok, kNewOk);
    new_cancel = make(new_panel, L"BUTTON", "Storno", WS_TABSTOP, L.new_cancel, kNewCancel);
    ShowWindow(new_panel, SW_HIDE);
    ShowWindow(chooser, SW_HIDE);
    show_folder("c:\\");
  }

  // A click on the title picture writes the credit line on the window itself,
  // in Arial Black 10 pt, white, at (W - 200, H - 50).
  void paint_credit(HDC dc) const {
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    HFONT font = CreateFontW(-MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_BLACK, 0,
                             0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial Black");
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    const std::wstring text = utf16(installer::kCreditLine);
    TextOutW(dc, W - 200, H - 50, text.c_str(), int(text.size()));
    SelectObject(dc, old);
    DeleteObject(font);
  }

  // A panel shown over the controls it overlaps (they clip themselves
  // against it).
  static void raise(HWND panel) {
    SetWindowPos(panel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  }

  // The folder named in the field is made with the folders on the way to
  // it, and selected (core/install.h: a name is taken inside the folder
  // selected in the list, never in the installer's own folder). What cannot
  // be made, or could not hold the game (a name the settings file's code
  // page cannot spell), is said, and the panel stays for another name.
  void create_new_folder() {
    const installer::NewFolder made = installer::make_new_folder(folder, text_of(edit));
    if (!made.refusal.empty()) {
      platform::win32::message_box(wnd, "ZARNIK", made.refusal, BoxIcon::Warning);
      SetFocus(edit);
      return;
    }
    made_folders.insert(made_folders.end(), made.made.begin(), made.made.end());
    if (!made.path.empty()) show_folder(made.path);
    ShowWindow(new_panel, SW_HIDE);
  }

  void command(int id, int code) {
    switch (id) {
      case kBrowse: raise(chooser); break;
      case kEnd: DestroyWindow(wnd); break;
      case kNewFolder:
        // The selected folder and a separator, with the caret after them:
        // what is typed is a folder inside it.
        set_text(edit, installer::new_folder_field(folder));
        raise(new_panel);
        SetFocus(edit);
        {
          const int end = GetWindowTextLengthW(edit);
          SendMessageW(edit, EM_SETSEL, WPARAM(end), LPARAM(end));
        }
        break;
      case kNewOk: create_new_folder(); break;
      case kNewCancel: ShowWindow(new_panel, SW_HIDE); break;
      case kChooserOk:
        target = installer::target_for_chosen_folder(folder);
        set_text(target_label, target);
        ShowWindow(chooser, SW_HIDE);
        break;
      case kDrives:
        if (code == CBN_SELCHANGE) {
          const LRESULT i = SendMessageW(drives, CB_GETCURSEL, 0, 0);
          const std::string d = item_of(drives, i, CB_GETLBTEXTLEN, CB_GETLBTEXT);
          if (!d.empty()) show_folder(d + "\\");
        }
        break;
      case kFolders:
        if (code == LBN_DBLCLK || code == LBN_SELCHANGE) {
          const LRESULT i = SendMessageW(folders, LB_GETCURSEL, 0, 0);
          const std::string f = item_of(folders, i, LB_GETTEXTLEN, LB_GETTEXT);
          if (!f.empty()) {
            if (code == LBN_DBLCLK)
              show_folder(f);
            else {
              folder = f;
              set_text(chosen, f);
            }
          }
        }
        break;
      case kInstall: run_install(); break;
      case kTitle:
        if (code == STN_CLICKED) {
          credit_on_window = true;
          InvalidateRect(wnd, nullptr, TRUE);
        }
        break;
    }
  }

  void run_install() {
    const std::string windows_dir = platform::settings_directory();
    // A folder the settings file cannot list is refused before anything is
    // written; the window stays as it was, for another choice.
    const std::string refusal = installer::installation_refusal(target, windows_dir);
    if (!refusal.empty()) {
      platform::win32::message_box(wnd, "ZARNIK", refusal, BoxIcon::Warning);
      return;
    }
    ShowWindow(install, SW_HIDE);
    ShowWindow(browse, SW_HIDE);
    ShowWindow(progress, SW_SHOW);
    SetWindowPos(caption, nullptr, L.done_caption.x, L.done_caption.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    // "Instaluji:" while the files are copied, "Hotovo:" once they are.
    set_text(caption, "Instaluji:");
    ShowWindow(target_label, SW_HIDE);
    UpdateWindow(wnd);
    const auto report = installer::install(source, target, windows_dir, *this, made_folders);
    set_text(caption, "Hotovo:");
    UpdateWindow(wnd);
    if (const std::string closing = report.closing_message(); !closing.empty())
      platform::win32::message_box(
          wnd, "ZARNIK", closing,
          report.failures.empty() ? BoxIcon::Information : BoxIcon::Warning);
    DestroyWindow(wnd);
  }

  static LRESULT CALLBACK panel_proc(HWND h, UINT m, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK edit_proc(HWND h, UINT m, WPARAM wp, LPARAM lp);
};

Form form;

// Black ground and white text for the window and its panels.
LRESULT colours(UINT m, WPARAM wp, LPARAM lp = 0) {
  if (m == WM_CTLCOLORSTATIC) {
    SetTextColor(HDC(wp), RGB(255, 255, 255));
    SetBkColor(HDC(wp), RGB(0, 0, 0));
    // The credit line lets the window show through: a click on the title
    // picture writes the same line on the window beneath it.
    if (HWND(lp) == form.credit) {
      SetBkMode(HDC(wp), TRANSPARENT);
      return LRESULT(GetStockObject(NULL_BRUSH));
    }
    return LRESULT(form.black);
  }
  return 0;
}

LRESULT CALLBACK Form::panel_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND) {
    form.command(LOWORD(wp), HIWORD(wp));
    return 0;
  }
  if (m == WM_CTLCOLORSTATIC) return colours(m, wp);
  if (m == WM_ERASEBKGND) {
    // Black, inside a white frame.
    RECT r;
    GetClientRect(h, &r);
    FillRect(HDC(wp), &r, form.black);
    FrameRect(HDC(wp), &r, HBRUSH(GetStockObject(WHITE_BRUSH)));
    return 1;
  }
  return DefWindowProcW(h, m, wp, lp);
}

// Enter in the new-folder field creates the folder; other keys as usual.
LRESULT CALLBACK Form::edit_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_KEYDOWN && wp == VK_RETURN) {
    form.create_new_folder();
    return 0;
  }
  if (m == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
  if (m == WM_CHAR && wp == '\r') return 0;
  return CallWindowProcW(WNDPROC(GetWindowLongPtrW(h, GWLP_USERDATA)), h, m, wp, lp);
}

LRESULT CALLBACK window_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_CREATE: form.create(h); return 0;
    case WM_COMMAND: form.command(LOWORD(wp), HIWORD(wp)); return 0;
    case WM_CTLCOLORSTATIC: return colours(m, wp, lp);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      if (form.credit_on_window) form.paint_credit(dc);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcW(h, m, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  CoInitialize(nullptr);
  // Shortcuts and the desktop and Start-menu folders through the shell; the
  // entry of "Apps & features" in the registry.
  platform::win32::WinShell shell;
  platform::Services services;
  services.shell = &shell;
  platform::install(services);
  installer::win32::Registry registry;
  installer::set_app_registry(&registry);
  WNDCLASSW wc{};
  wc.lpfnWndProc = window_proc;
  wc.hInstance = inst;
  wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
  wc.hCursor = LoadCursorW(nullptr, LPCWSTR(IDC_ARROW));
  wc.lpszClassName = L"TForm1";
  RegisterClassW(&wc);
  CreateWindowExW(0, wc.lpszClassName, L"ZARNIK", WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, nullptr,
                  nullptr, inst, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(GetActiveWindow(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  platform::install({});
  CoUninitialize();
  return 0;
}
