#include "tool/win32view/win32_controls.h"

#include <commctrl.h>

#include <vector>

namespace win32view {

namespace {

constexpr const char* dialog_class = "DirvaneDialog";

// The dialog whose show_modal runs innermost; the message loops give it
// the keyboard first.
HWND active_modal = nullptr;

std::string c_string(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

} // namespace

HFONT tool_font() {
    static const HFONT font = CreateFontA(
        -12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "ＭＳ Ｐゴシック");
    return font;
}

HWND create_child(HWND parent, const char* className, std::string_view text, DWORD style, int id,
                  int x, int y, int width, int height, DWORD exStyle) {
    const std::string caption = c_string(text);
    HWND control =
        CreateWindowExA(exStyle, className, caption.c_str(), WS_CHILD | WS_VISIBLE | style, x, y,
                        width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleA(nullptr), nullptr);
    if (control != nullptr)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(tool_font()), FALSE);
    return control;
}

HWND create_button(HWND parent, std::string_view caption, int id, int x, int y, int width,
                   int height, DWORD extraStyle) {
    return create_child(parent, WC_BUTTONA, caption, WS_TABSTOP | extraStyle, id, x, y, width,
                        height);
}

HWND create_edit(HWND parent, int id, int x, int y, int width, int height) {
    return create_child(parent, WC_EDITA, "", WS_TABSTOP | ES_AUTOHSCROLL, id, x, y, width, height,
                        WS_EX_CLIENTEDGE);
}

HWND create_label(HWND parent, std::string_view text, int x, int y, int width, int height) {
    return create_child(parent, WC_STATICA, text, SS_LEFT | SS_NOPREFIX, -1, x, y, width, height);
}

bool register_window_class(const char* name, WNDPROC procedure, HICON icon) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hIcon = icon;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0;
}

std::string window_text(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const int got = GetWindowTextA(window, buffer.data(), length + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void set_window_text(HWND window, std::string_view text) {
    SetWindowTextA(window, c_string(text).c_str());
}

void Tooltips::create(HWND owner) {
    m_owner = owner;
    m_tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    if (m_tips != nullptr)
        SendMessageA(m_tips, WM_SETFONT, reinterpret_cast<WPARAM>(tool_font()), FALSE);
}

void Tooltips::add(HWND control, std::string_view hint) {
    if (m_tips == nullptr)
        return;
    std::string text = c_string(hint);
    TOOLINFOA tool{};
    // The size that every version of the common controls accepts.
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data(); // copied by the control
    SendMessageA(m_tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void Tooltips::set_over_area(HWND control, std::string_view hint) {
    if (m_tips == nullptr)
        return;
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = m_owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    SendMessageA(m_tips, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    // An area of the owner, not the control: a disabled control gets no
    // mouse messages to relay.
    tool.uFlags = TTF_SUBCLASS;
    GetWindowRect(control, &tool.rect);
    MapWindowPoints(nullptr, m_owner, reinterpret_cast<POINT*>(&tool.rect), 2);
    std::string text = c_string(hint);
    tool.lpszText = text.data(); // copied by the control
    // A width makes the control break the text at its line ends.
    SendMessageA(m_tips, TTM_SETMAXTIPWIDTH, 0, 480);
    SendMessageA(m_tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string Tooltips::hint_of(HWND control) const {
    if (m_tips == nullptr)
        return {};
    // The message has no length: the buffer is larger than any hint.
    char buffer[512] = {};
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = m_owner;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = buffer;
    SendMessageA(m_tips, TTM_GETTEXTA, sizeof buffer, reinterpret_cast<LPARAM>(&tool));
    return buffer;
}

void place_client(HWND window, HWND over, int width, int height) {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)),
                       GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    const int outerWidth = frame.right - frame.left;
    const int outerHeight = frame.bottom - frame.top;
    RECT area{};
    if (over != nullptr)
        GetWindowRect(over, &area);
    else
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + (area.right - area.left - outerWidth) / 2;
    const int y = area.top + (area.bottom - area.top - outerHeight) / 2;
    SetWindowPos(window, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, outerWidth, outerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ModalDialog::create_window(HWND owner, std::string_view caption, int width, int height) {
    static const bool registered =
        register_window_class(dialog_class, &ModalDialog::window_proc, nullptr);
    if (!registered)
        return;
    m_owner = owner;
    const std::string text = c_string(caption);
    // The creation messages already reach the object through the pointer.
    m_window =
        CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, dialog_class, text.c_str(),
                        WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, width,
                        height, owner, nullptr, GetModuleHandleA(nullptr), this);
    if (m_window == nullptr)
        return;
    // No icon in the caption: the system menu alone, as in a dialog.
    SendMessageA(m_window, WM_SETICON, ICON_SMALL, 0);
    place_client(m_window, owner, width, height);
    create_controls();
}

int ModalDialog::show_modal() {
    if (m_window == nullptr || m_running)
        return IDCANCEL;
    m_result = IDCANCEL;
    m_running = true;
    on_show();
    RECT client{};
    GetClientRect(m_window, &client);
    place_client(m_window, m_owner, client.right, client.bottom);
    const HWND outer = active_modal;
    active_modal = m_window;
    if (m_owner != nullptr)
        EnableWindow(m_owner, FALSE);
    ShowWindow(m_window, SW_SHOW);
    SetForegroundWindow(m_window);
    MSG message;
    while (m_running && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!is_dialog_message(nullptr, message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (m_running) {
        // WM_QUIT arrived while the dialog was up: pass it on to the outer
        // loop once the dialog is gone.
        m_running = false;
        PostQuitMessage(static_cast<int>(message.wParam));
    }
    // The owner is enabled before the dialog hides, so that it becomes the
    // active window again.
    if (m_owner != nullptr)
        EnableWindow(m_owner, TRUE);
    ShowWindow(m_window, SW_HIDE);
    active_modal = outer;
    if (m_owner != nullptr)
        SetActiveWindow(m_owner);
    return m_result;
}

void ModalDialog::end_modal(int result) {
    if (!m_running)
        return;
    m_result = result;
    on_close(result);
    m_running = false;
    // Wakes the loop in show_modal should no message be waiting.
    PostMessageA(m_window, WM_NULL, 0, 0);
}

LRESULT CALLBACK ModalDialog::window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<ModalDialog*>(create->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window = window;
    }
    auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT ModalDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (on_command(id, HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return 0;
        if (id == IDOK || id == IDCANCEL)
            end_modal(id);
        return 0;
    }
    case WM_NOTIFY:
        return on_notify(reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
        on_size(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CLOSE:
        end_modal(IDCANCEL);
        return 0;
    default:
        return DefWindowProcA(m_window, message, wParam, lParam);
    }
}

bool is_dialog_message(HWND main, MSG& message) {
    const HWND target = active_modal != nullptr ? active_modal : main;
    return target != nullptr && IsDialogMessageA(target, &message);
}

} // namespace win32view
