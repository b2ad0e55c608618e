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
#include "installer/core/title.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/win32/message_box.h"
#include "platform/win32/shell.h"
#include "platform/win32/utf16.h"

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
  std::string source, target, folder;  // folder: the one selected in the tree
  bool credit_on_window = false;       // the title picture was clicked

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
    SetWindowTextA(chosen, folder.c_str());
    SendMessageA(folders, LB_RESETCONTENT, 0, 0);
    SendMessageA(folders, LB_ADDSTRING, 0, LPARAM(f.substr(0, 3).c_str()));
    for (size_t i = 3; (i = f.find('\\', i)) != std::string::npos; ++i)
      SendMessageA(folders, LB_ADDSTRING, 0, LPARAM(f.substr(0, i).c_str()));
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((f + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::string n = fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && n != "." && n != "..")
          SendMessageA(folders, LB_ADDSTRING, 0, LPARAM((f + n).c_str()));
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
  }

  void create(HWND w) {
    wnd = w;
    source = installer::source_folder();  // first: before anything can change it
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(w, HWND_TOP, 0, 0, W, H, SWP_NOZORDER);
    L = installer::installer_layout(W, H);
    char local[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
    target = installer::windows_default_target(IsUserAnAdmin(), local);

    bold = CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    title = make(w, L"STATIC", "", SS_BITMAP | SS_NOTIFY, L.title_picture, kTitle);
    if (HBITMAP picture = title_bitmap(L.title_picture.w, L.title_picture.h))
      SendMessageW(title, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(picture));
    credit = make(w, L"STATIC", installer::kCreditLine, SS_NOPREFIX, L.credit);
    caption = make(w, L"STATIC", "Adresář:", 0, L.folder_caption);
    target_label = make(w, L"STATIC", "", SS_NOPREFIX, L.target);
    SetWindowTextA(target_label, target.c_str());
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
    char roots[512] = {};
    GetLogicalDriveStringsA(sizeof roots - 1, roots);
    for (const char* d = roots; *d; d += strlen(d) + 1)
      SendMessageA(drives, CB_ADDSTRING, 0, LPARAM(std::string(d, 2).c_str()));
    SendMessageA(drives, CB_SELECTSTRING, WPARAM(-1), LPARAM("c:"));
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

  // The folder named in the field is made (one level; a failure is ignored)
  // and selected. A name without a drive or a leading backslash is taken
  // inside the folder selected in the list, never in the installer's own
  // folder; a folder that is not there afterwards leaves the selection as
  // it was.
  void create_new_folder() {
    char text[MAX_PATH] = {};
    GetWindowTextA(edit, text, sizeof text);
    std::string name = text;
    const bool absolute = (name.size() >= 2 && name[1] == ':') || name.starts_with('\\');
    if (!name.empty() && !absolute) name = folder + (folder.ends_with('\\') ? "" : "\\") + name;
    if (!name.empty()) {
      CreateDirectoryA(name.c_str(), nullptr);
      const DWORD attributes = GetFileAttributesA(name.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        show_folder(name);
    }
    ShowWindow(new_panel, SW_HIDE);
  }

  void command(int id, int code) {
    switch (id) {
      case kBrowse: raise(chooser); break;
      case kEnd: DestroyWindow(wnd); break;
      case kNewFolder:
        SetWindowTextA(edit, folder.c_str());
        raise(new_panel);
        SetFocus(edit);
        break;
      case kNewOk: create_new_folder(); break;
      case kNewCancel: ShowWindow(new_panel, SW_HIDE); break;
      case kChooserOk:
        target = installer::target_for_chosen_folder(folder);
        SetWindowTextA(target_label, target.c_str());
        ShowWindow(chooser, SW_HIDE);
        break;
      case kDrives:
        if (code == CBN_SELCHANGE) {
          char d[8] = {};
          SendMessageA(drives, CB_GETLBTEXT, SendMessageA(drives, CB_GETCURSEL, 0, 0), LPARAM(d));
          show_folder(std::string(d) + "\\");
        }
        break;
      case kFolders:
        if (code == LBN_DBLCLK || code == LBN_SELCHANGE) {
          const LRESULT i = SendMessageA(folders, LB_GETCURSEL, 0, 0);
          char f[MAX_PATH] = {};
          if (i >= 0 && SendMessageA(folders, LB_GETTEXTLEN, i, 0) < MAX_PATH) {
            SendMessageA(folders, LB_GETTEXT, i, LPARAM(f));
            if (code == LBN_DBLCLK)
              show_folder(f);
            else {
              folder = f;
              SetWindowTextA(chosen, f);
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
    ShowWindow(install, SW_HIDE);
    ShowWindow(browse, SW_HIDE);
    ShowWindow(progress, SW_SHOW);
    SetWindowPos(caption, nullptr, L.done_caption.x, L.done_caption.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    SetWindowTextW(caption, utf16("Hotovo:").c_str());
    ShowWindow(target_label, SW_HIDE);
    UpdateWindow(wnd);
    const auto report = installer::install(source, target, windows_dir, *this);
    platform::win32::message_box(wnd, "ZARNIK", report.final_message(),
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
  // Shortcuts and the desktop and Start-menu folders through the shell.
  platform::win32::WinShell shell;
  platform::Services services;
  services.shell = &shell;
  platform::install(services);
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
