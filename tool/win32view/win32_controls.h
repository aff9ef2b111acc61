// The small pieces every Vanecfg window is built from on Windows: the tool
// font, child controls placed in pixels, their texts as the ANSI code page's
// bytes, tooltips, and the modal loop of a dialog that outlives its showings.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win32view {

// tool_font is the windows' font, "ＭＳ Ｐゴシック" at 12 pixels with the
// Shift_JIS character set; created once, never freed before the end.
HFONT tool_font();

// create_child creates a child control of `className` with `text` at the
// given place, with the tool font and the control id `id`.
HWND create_child(HWND parent, const char* className, std::string_view text, DWORD style, int id,
                  int x, int y, int width, int height, DWORD exStyle = 0);

// create_button, create_edit and create_label are create_child for the
// three plain kinds.
HWND create_button(HWND parent, std::string_view caption, int id, int x, int y, int width,
                   int height, DWORD extraStyle = 0);
HWND create_edit(HWND parent, int id, int x, int y, int width, int height);
HWND create_label(HWND parent, std::string_view text, int x, int y, int width, int height);

// register_window_class registers a class of top-level windows in the
// dialog colour, with the arrow cursor and `icon` (none when null); true
// when the class is there.
bool register_window_class(const char* name, WNDPROC procedure, HICON icon);

// window_text and set_window_text read and write a window's text.
std::string window_text(HWND window);
void set_window_text(HWND window, std::string_view text);

// Tooltips shows the hint of each control added to it when the mouse rests
// on the control.
class Tooltips {
  public:
    void create(HWND owner);
    void add(HWND control, std::string_view hint);
    // set_over_area makes `hint` (lines may be "\r\n" apart; "" shows
    // nothing) the hint of `control`'s place in the owner, replacing the
    // one it had: shown also while the control is disabled, as the owner
    // then gets the mouse messages. The control must not move afterwards.
    void set_over_area(HWND control, std::string_view hint);
    // hint_of returns the text the tooltip control holds for `control`.
    std::string hint_of(HWND control) const;

  private:
    HWND m_tips = nullptr;
    HWND m_owner = nullptr;
};

// place_client moves and sizes a top-level window so that its client area
// is `width` × `height` and it is centred on `over` (the desktop when null).
void place_client(HWND window, HWND over, int width, int height);

// ModalDialog is a top-level dialog window that is created once, hidden,
// and shown modally over its owner as often as needed (show_modal); the
// controls, and so their texts, live as long as the object.
class ModalDialog {
  public:
    virtual ~ModalDialog() = default;

    HWND handle() const { return m_window; }

    // show_modal disables the owner, shows the dialog and runs the
    // messages until end_modal; then hides it and returns the result
    // (IDOK or IDCANCEL). Closing it from the system menu is IDCANCEL.
    int show_modal();

    // end_modal ends the running show_modal with `result`.
    void end_modal(int result);

    bool is_showing() const { return m_running; }

  protected:
    // create_window creates the hidden dialog (caption `caption`, client
    // area `width` × `height`, dialog border, only the system menu) owned
    // by `owner`, and then calls create_controls.
    void create_window(HWND owner, std::string_view caption, int width, int height);

    virtual void create_controls() = 0;
    // on_show runs each time before the dialog appears; on_close when it
    // is ending with `result`, before it is hidden.
    virtual void on_show() {}
    virtual void on_close(int /*result*/) {}
    // on_command handles WM_COMMAND of a child; IDOK and IDCANCEL end the
    // dialog unless it returns true for them.
    virtual bool on_command(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    virtual LRESULT on_notify(NMHDR* /*header*/) { return 0; }
    virtual void on_size(int /*width*/, int /*height*/) {}

    HWND m_window = nullptr;
    HWND m_owner = nullptr;

  private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    bool m_running = false;
    int m_result = IDCANCEL;
};

// is_dialog_message lets the active modal dialog, or else `main`, take
// its keyboard messages (Tab, Enter, Esc); true when it did.
bool is_dialog_message(HWND main, MSG& message);

} // namespace win32view
