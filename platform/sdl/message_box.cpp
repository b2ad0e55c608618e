#include "platform/sdl/message_box.h"

#include <SDL.h>

#include <algorithm>

#include "platform/fonts.h"
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

int measure_with(const std::u32string& s, void*) {
  return default_font_rasterizer().render(kFamily, kTextPx, s).width;
}

int sdl_box(const MessageBoxContent& box, SDL_Window* parent) {
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
  data.message = box.text.c_str();
  data.numbuttons = int(buttons.size());
  data.buttons = buttons.data();
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return -1;
  return pressed < 0 ? box.escape_button : pressed;
}

// A text line as a texture: black text with the coverage as alpha.
// `top` is the rows of ink above the line's cell.
SDL_Texture* text_texture(SDL_Renderer* r, const std::u32string& s, uint8_t shade, int& w, int& h,
                          int& top) {
  const TextBitmap bm = default_font_rasterizer().render(kFamily, kTextPx, s);
  w = bm.width;
  h = bm.height;
  top = bm.top;
  if (bm.width <= 0 || bm.height <= 0) return nullptr;
  SDL_Texture* t =
      SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, bm.width, bm.height);
  if (!t) return nullptr;
  std::vector<uint32_t> px(size_t(bm.width) * bm.height);
  for (size_t i = 0; i < px.size(); ++i)
    px[i] =
        (uint32_t(bm.coverage[i]) << 24) | (uint32_t(shade) << 16) | (uint32_t(shade) << 8) | shade;
  SDL_UpdateTexture(t, nullptr, px.data(), bm.width * 4);
  SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
  return t;
}

int own_box(const MessageBoxContent& box) {
  const auto lines = wrap_text(utf8_to_utf32(box.text), kMaxTextWidth, measure_with, nullptr);
  const int line_h =
      std::max(1, default_font_rasterizer().render(kFamily, kTextPx, U"Ag").cell_height);
  int text_w = 0;
  for (const auto& l : lines) text_w = std::max(text_w, measure_with(l, nullptr));
  const int n = int(box.buttons.size());
  const int buttons_w = n * kButtonW + std::max(0, n - 1) * kButtonGap;
  const int win_w = std::max({320, text_w + 2 * kMargin, buttons_w + 2 * kMargin});
  const int text_h = int(lines.size()) * (line_h + kLineGap);
  const int win_h = kMargin + text_h + kMargin + kButtonH + kMargin;

  SDL_Window* win =
      SDL_CreateWindow(box.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, win_w,
                       win_h, SDL_WINDOW_ALWAYS_ON_TOP);
  if (!win) return -1;
  SDL_Renderer* r = SDL_CreateRenderer(win, -1, SDL_RENDERER_SOFTWARE);
  if (!r) {
    SDL_DestroyWindow(win);
    return -1;
  }
  struct Line {
    SDL_Texture* tex;
    int w, h, top;
  };
  std::vector<Line> texts;
  for (const auto& l : lines) {
    Line t{};
    t.tex = text_texture(r, l, 0, t.w, t.h, t.top);
    texts.push_back(t);
  }
  std::vector<Line> labels;
  for (const auto& b : box.buttons) {
    Line t{};
    t.tex = text_texture(r, utf8_to_utf32(b), 0, t.w, t.h, t.top);
    labels.push_back(t);
  }
  auto button_rect = [&](int i) {
    const int x0 = (win_w - buttons_w) / 2;
    return SDL_Rect{x0 + i * (kButtonW + kButtonGap), win_h - kMargin - kButtonH, kButtonW,
                    kButtonH};
  };

  const Uint32 id = SDL_GetWindowID(win);
  int selected = std::clamp(box.return_button, 0, std::max(0, n - 1));
  int result = -2;
  SDL_RaiseWindow(win);
  while (result == -2) {
    SDL_SetRenderDrawColor(r, 236, 236, 236, 255);
    SDL_RenderClear(r);
    int y = kMargin;
    for (const auto& t : texts) {
      if (t.tex) {
        SDL_Rect d{kMargin, y - t.top, t.w, t.h};
        SDL_RenderCopy(r, t.tex, nullptr, &d);
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
        SDL_RenderCopy(r, l.tex, nullptr, &d);
      }
    }
    SDL_RenderPresent(r);

    SDL_Event ev;
    if (!SDL_WaitEvent(&ev)) break;
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
  for (auto& t : texts)
    if (t.tex) SDL_DestroyTexture(t.tex);
  for (auto& t : labels)
    if (t.tex) SDL_DestroyTexture(t.tex);
  SDL_DestroyRenderer(r);
  SDL_DestroyWindow(win);
  return result < 0 ? box.escape_button : result;
}

}  // namespace

std::vector<std::u32string> wrap_text(const std::u32string& text, int max_width,
                                      int (*measure)(const std::u32string&, void*), void* ctx) {
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
      const std::u32string word = para.substr(i, j - i);
      const std::u32string candidate = line.empty() ? word : line + U" " + word;
      if (!line.empty() && measure(candidate, ctx) > max_width) {
        out.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
      i = j;
    }
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

int show_message_box(const MessageBoxContent& box, void* parent_sdl_window) {
  int r = sdl_box(box, static_cast<SDL_Window*>(parent_sdl_window));
  if (r >= 0) return r;
  return own_box(box);
}

}  // namespace platform::sdl
