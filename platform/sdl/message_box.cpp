#include "platform/sdl/message_box.h"

#include <SDL.h>

#include <algorithm>
#include <utility>

#include "platform/fonts.h"
#include "platform/sdl/handles.h"
#include "platform/text.h"

namespace platform::sdl {

namespace {

constexpr const char* kFamily = "DejaVu Sans";
constexpr int kTextPx = 15;
constexpr int kMargin = 20;
constexpr int kLineGap = 4;
constexpr int kButtonW = 90;
constexpr int kButtonH = 28;
constexpr int kButtonGap = 12;
constexpr int kMaxTextWidth = 560;
constexpr int kMinWindowWidth = 320;
// Room left for a window frame, a panel and the padding of SDL's box.
constexpr int kScreenSlack = 40;

int measure_with(const std::u32string& s, void*) {
  const int w = default_font_rasterizer().render(kFamily, kTextPx, s).width;
  // Without any font the width is still needed to wrap SDL's box.
  return w > 0 || s.empty() ? w : int(s.size()) * 9;
}

int line_height() {
  const int h = default_font_rasterizer().render(kFamily, kTextPx, U"Ag").cell_height;
  return h > 0 ? h : 18;
}

// The usable area of the screen the box comes up on (0 x 0 when unknown).
SDL_Rect screen_of(SDL_Window* parent) {
  int display = parent ? SDL_GetWindowDisplayIndex(parent) : 0;
  if (display < 0) display = 0;
  SDL_Rect r{0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(display, &r) != 0 || r.w <= 0 || r.h <= 0) return {0, 0, 0, 0};
  return r;
}

bool breaks_after(char32_t c) { return c == U'/' || c == U'\\' || c == U'-' || c == U'_'; }

// How many leading characters of word go on a line of max_width: at least
// one, so that wrapping always ends.
size_t fitting_prefix(const std::u32string& word, int max_width, MeasureFn measure, void* ctx) {
  size_t lo = 1, hi = word.size();
  while (lo < hi) {
    const size_t mid = (lo + hi + 1) / 2;
    if (measure(word.substr(0, mid), ctx) <= max_width)
      lo = mid;
    else
      hi = mid - 1;
  }
  for (size_t k = lo; k > lo / 2 && k > 1; --k)
    if (breaks_after(word[k - 1])) return k;
  return lo;
}

std::string to_utf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) {
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

int sdl_box(const MessageBoxContent& box, const std::string& text, SDL_Window* parent) {
  std::vector<SDL_MessageBoxButtonData> buttons;
  for (size_t i = 0; i < box.buttons.size(); ++i) {
    SDL_MessageBoxButtonData b{};
    if (int(i) == box.return_button) b.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (int(i) == box.escape_button) b.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    b.buttonid = int(i);
    b.text = box.buttons[i].c_str();
    buttons.push_back(b);
  }
  SDL_MessageBoxData data{};
  data.flags = box.error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  data.window = parent;
  data.title = box.title.c_str();
  data.message = text.c_str();
  data.numbuttons = int(buttons.size());
  data.buttons = buttons.data();
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return -1;
  return pressed < 0 ? box.escape_button : pressed;
}

// A text line as a texture: black text with the coverage as alpha.
// `top` is the rows of ink above the line's cell.
TexturePtr text_texture(SDL_Renderer* r, const std::u32string& s, uint8_t shade, int& w, int& h,
                        int& top) {
  const TextBitmap bm = default_font_rasterizer().render(kFamily, kTextPx, s);
  w = bm.width;
  h = bm.height;
  top = bm.top;
  if (bm.width <= 0 || bm.height <= 0) return nullptr;
  TexturePtr t(SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, bm.width,
                                 bm.height));
  if (!t) return nullptr;
  std::vector<uint32_t> px(size_t(bm.width) * bm.height);
  for (size_t i = 0; i < px.size(); ++i)
    px[i] =
        (uint32_t(bm.coverage[i]) << 24) | (uint32_t(shade) << 16) | (uint32_t(shade) << 8) | shade;
  SDL_UpdateTexture(t.get(), nullptr, px.data(), bm.width * 4);
  SDL_SetTextureBlendMode(t.get(), SDL_BLENDMODE_BLEND);
  return t;
}

int own_box(const MessageBoxContent& box, const BoxLayout& layout, int line_h) {
  const std::vector<std::u32string>& lines = layout.lines;
  const int n = int(box.buttons.size());
  const int buttons_w = n * kButtonW + std::max(0, n - 1) * kButtonGap;
  const int win_w = layout.width, win_h = layout.height;

  WindowPtr win(SDL_CreateWindow(box.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 win_w, win_h, SDL_WINDOW_ALWAYS_ON_TOP));
  if (!win) return -1;
  // Declared after the window, so it goes first; the textures go before it.
  RendererPtr renderer(SDL_CreateRenderer(win.get(), -1, SDL_RENDERER_SOFTWARE));
  if (!renderer) return -1;
  SDL_Renderer* r = renderer.get();
  struct Line {
    TexturePtr tex;
    int w, h, top;
  };
  std::vector<Line> texts;
  for (const auto& l : lines) {
    Line t{};
    t.tex = text_texture(r, l, 0, t.w, t.h, t.top);
    texts.push_back(std::move(t));
  }
  std::vector<Line> labels;
  for (const auto& b : box.buttons) {
    Line t{};
    t.tex = text_texture(r, utf8_to_utf32(b), 0, t.w, t.h, t.top);
    labels.push_back(std::move(t));
  }
  auto button_rect = [&](int i) {
    const int x0 = (win_w - buttons_w) / 2;
    return SDL_Rect{x0 + i * (kButtonW + kButtonGap), win_h - kMargin - kButtonH, kButtonW,
                    kButtonH};
  };

  const Uint32 id = SDL_GetWindowID(win.get());
  int selected = std::clamp(box.return_button, 0, std::max(0, n - 1));
  int result = -2;
  SDL_RaiseWindow(win.get());
  while (result == -2) {
    SDL_SetRenderDrawColor(r, 236, 236, 236, 255);
    SDL_RenderClear(r);
    int y = kMargin;
    for (const auto& t : texts) {
      if (t.tex) {
        SDL_Rect d{kMargin, y - t.top, t.w, t.h};
        SDL_RenderCopy(r, t.tex.get(), nullptr, &d);
      }
      y += line_h + kLineGap;
    }
    for (int i = 0; i < n; ++i) {
      const SDL_Rect b = button_rect(i);
      SDL_SetRenderDrawColor(r, 250, 250, 250, 255);
      SDL_RenderFillRect(r, &b);
      SDL_SetRenderDrawColor(r, i == selected ? 40 : 150, i == selected ? 90 : 150,
                             i == selected ? 200 : 150, 255);
      SDL_RenderDrawRect(r, &b);
      if (i == selected) {
        const SDL_Rect inner{b.x + 1, b.y + 1, b.w - 2, b.h - 2};
        SDL_RenderDrawRect(r, &inner);
      }
      const Line& l = labels[size_t(i)];
      if (l.tex) {
        SDL_Rect d{b.x + (b.w - l.w) / 2, b.y + (b.h - l.h) / 2, l.w, l.h};
        SDL_RenderCopy(r, l.tex.get(), nullptr, &d);
      }
    }
    SDL_RenderPresent(r);

    SDL_Event ev;
    if (!wait_for_event(&ev, -1)) break;
    switch (ev.type) {
      case SDL_QUIT:
        // The session wants the program to end: answer as Esc and leave the
        // request for the program's own loop.
        result = box.escape_button;
        SDL_PushEvent(&ev);
        break;
      case SDL_WINDOWEVENT:
        if (ev.window.windowID == id && ev.window.event == SDL_WINDOWEVENT_CLOSE)
          result = box.escape_button;
        break;
      case SDL_KEYDOWN:
        if (ev.key.windowID != id) break;
        switch (ev.key.keysym.sym) {
          case SDLK_RETURN:
          case SDLK_KP_ENTER:
          case SDLK_SPACE: result = selected; break;
          case SDLK_ESCAPE: result = box.escape_button; break;
          case SDLK_LEFT:
            if (n > 0) selected = (selected + n - 1) % n;
            break;
          case SDLK_RIGHT:
          case SDLK_TAB:
            if (n > 0) selected = (selected + 1) % n;
            break;
          default: break;
        }
        break;
      case SDL_MOUSEBUTTONUP:
        if (ev.button.windowID != id || ev.button.button != SDL_BUTTON_LEFT) break;
        for (int i = 0; i < n; ++i) {
          const SDL_Rect b = button_rect(i);
          const SDL_Point p{ev.button.x, ev.button.y};
          if (SDL_PointInRect(&p, &b)) result = i;
        }
        break;
      default: break;
    }
  }
  return result < 0 ? box.escape_button : result;
}

}  // namespace

bool wait_for_event(SDL_Event* event, int timeout_ms) {
  constexpr Uint32 kLook = 5;  // ms between looks: well inside a key press
  const Uint64 end = SDL_GetTicks64() + Uint64(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    if (SDL_PollEvent(event) != 0) return true;
    const Uint64 now = SDL_GetTicks64();
    if (timeout_ms >= 0 && now >= end) return false;
    SDL_Delay(timeout_ms < 0 ? kLook : Uint32(std::min<Uint64>(kLook, end - now)));
  }
}

std::vector<std::u32string> wrap_text(const std::u32string& text, int max_width, MeasureFn measure,
                                      void* ctx) {
  std::vector<std::u32string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(U'\n', start);
    if (end == std::u32string::npos) end = text.size();
    const std::u32string para = text.substr(start, end - start);
    std::u32string line;
    size_t i = 0;
    while (i < para.size()) {
      while (i < para.size() && para[i] == U' ') ++i;
      size_t j = para.find(U' ', i);
      if (j == std::u32string::npos) j = para.size();
      if (j == i) break;
      std::u32string word = para.substr(i, j - i);
      std::u32string candidate = line;
      if (!candidate.empty()) candidate += U' ';
      candidate += word;
      if (measure(candidate, ctx) <= max_width) {
        line = candidate;
      } else {
        if (!line.empty()) out.push_back(line);
        // A word too wide for a line of its own is cut into pieces.
        while (measure(word, ctx) > max_width && word.size() > 1) {
          const size_t k = fitting_prefix(word, max_width, measure, ctx);
          out.push_back(word.substr(0, k));
          word.erase(0, k);
        }
        line = word;
      }
      i = j;
    }
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

BoxLayout layout_box(const MessageBoxContent& box, int screen_w, int screen_h, int line_height,
                     MeasureFn measure, void* ctx) {
  int limit = kMaxTextWidth;
  if (screen_w > 0) limit = std::clamp(screen_w - 2 * kMargin - kScreenSlack, 1, kMaxTextWidth);
  BoxLayout out;
  out.lines = wrap_text(utf8_to_utf32(box.text), limit, measure, ctx);
  const int row = line_height + kLineGap;
  const int rest = 3 * kMargin + kButtonH;  // everything but the text
  if (screen_h > 0) {
    const size_t room = size_t(std::max(1, (screen_h - rest - kScreenSlack) / row));
    if (out.lines.size() > room) {
      out.lines.resize(room);
      std::u32string& last = out.lines.back();
      while (!last.empty() && measure(last + U" …", ctx) > limit) last.pop_back();
      last += last.empty() ? U"…" : U" …";
    }
  }
  int text_w = 0;
  for (const auto& l : out.lines) text_w = std::max(text_w, measure(l, ctx));
  const int n = int(box.buttons.size());
  const int buttons_w = n * kButtonW + std::max(0, n - 1) * kButtonGap;
  int min_w = kMinWindowWidth;
  if (screen_w > 0) min_w = std::min(min_w, screen_w);
  out.width = std::max({min_w, text_w + 2 * kMargin, buttons_w + 2 * kMargin});
  out.height = rest + int(out.lines.size()) * row;
  return out;
}

std::string wrapped_text(const BoxLayout& layout) {
  std::u32string joined;
  for (size_t i = 0; i < layout.lines.size(); ++i) {
    if (i > 0) joined += U'\n';
    joined += layout.lines[i];
  }
  return to_utf8(joined);
}

int show_message_box(const MessageBoxContent& box, void* parent_sdl_window) {
  auto* parent = static_cast<SDL_Window*>(parent_sdl_window);
  const SDL_Rect screen = screen_of(parent);
  const int line_h = line_height();
  const BoxLayout layout = layout_box(box, screen.w, screen.h, line_h, measure_with, nullptr);
  // SDL's box does not wrap: it gets the lines as they are laid out here.
  const int r = sdl_box(box, wrapped_text(layout), parent);
  if (r >= 0) return r;
  return own_box(box, layout, line_h);
}

}  // namespace platform::sdl
