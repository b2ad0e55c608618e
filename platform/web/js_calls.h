#pragma once
// The page's side of the backend (js/library.js), called from C++. Sizes are
// device pixels; texts are UTF-8.
#include <cstddef>
#include <cstdint>

extern "C" {
// The canvas's own size (the back surface's) and its place on the page.
void zarnik_js_canvas_size(int width, int height);
void zarnik_js_place_canvas(double x, double y, double width, double height, int crisp);
// Shows a 16-bit RGB565 frame as it is (rows of `pitch` pixels, `rows` of
// them): its part of width x height at (sx, sy) lands at (dx, dy) of the
// canvas's frame, the rest black. 0 when the page cannot take it so (no
// WebGL, or it was lost): the frame then goes as RGBA.
int zarnik_js_present565(const uint16_t* pixels, int pitch, int rows, int sx, int sy, int width,
                         int height, int dx, int dy);
// Shows a whole frame of the canvas's size as RGBA.
void zarnik_js_present(const uint8_t* rgba, int width, int height);
// The page's inner size and the screen's size, in device pixels: out[0..3].
void zarnik_js_page_size(int* out);
void zarnik_js_cursor(int visible);
void zarnik_js_toggle_fullscreen();
// Opens a web address in a new tab: 1 when the browser allowed it.
int zarnik_js_open_url(const char* url);
// An error (kind 0: not waited for) or a question (kind 1: 1 for yes).
int zarnik_js_box(const char* title, const char* text, int kind);
// Whether the page's sound has started (after the first key or click), the
// mixer's frames it wants now, and frames of 16-bit stereo handed to it.
int zarnik_js_audio_running();
int zarnik_js_audio_wanted();
void zarnik_js_audio_push(const int16_t* samples, int frames);
// The rendered music: the piece of a name (-1: none), its decoded frames,
// and frames added into a bus of interleaved stereo floats.
int zarnik_js_piece(const char* name);
double zarnik_js_piece_frames(int piece);
void zarnik_js_piece_add(int piece, double from, float* bus, int count);
// Keeps a file's bytes in the browser's storage (length < 0: forgets it).
void zarnik_js_store(const char* path, const uint8_t* bytes, int length);
// The files every tab shares (storage.h): the page learns a file's number,
// and merges into its shared copy: under the lock every tab takes, one
// transaction of the browser's storage reads the copy, hands its bytes to
// zarnik_web_shared_merge(), writes what zarnik_js_shared_result() gave back
// and then tells every tab (zarnik_web_shared_written() in this one,
// zarnik_web_shared_arrived() in all). zarnik_js_merge_shared() is 0 when
// there is no storage. zarnik_js_shared_copy() copies the bytes the page
// handed over with the call (their length came with it) to out.
void zarnik_js_share(const char* path, int file);
int zarnik_js_merge_shared(int file);
void zarnik_js_shared_copy(uint8_t* out);
void zarnik_js_shared_result(const uint8_t* bytes, int length, double through);
// The page's name field shown and focused (1) or put away (0).
void zarnik_js_text_input(int on);
// The game has ended: the page says so and offers to play again.
void zarnik_js_ended();
// A pass of the loop that showed a frame: all it took (the music, the sound
// fed, the kept files), the message loop's part and the present's part, in
// milliseconds (kept only while the page's benchmark asks for them).
void zarnik_js_frame_time(double whole_ms, double pass_ms, double present_ms);
// How many data files the page is still bringing after the first frame.
int zarnik_js_files_pending();
// Starts listening for the page's layout changes and for the page being
// left; calls zarnik_web_layout() and zarnik_web_leave().
void zarnik_js_listen();
}
