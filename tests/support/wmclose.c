// quorin-wm-close WINDOW: asks a top-level window to close, as a window manager does when its
// close button is pressed (the WM_DELETE_WINDOW message). The tests' X server runs no window
// manager, and xdotool can only destroy a window, which no program takes as a request to close.

#include <xcb/xcb.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    const xcb_atom_t found = reply ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return found;
}

int main(int argc, char *argv[])
{
    char *end = NULL;
    const unsigned long window = argc == 2 ? strtoul(argv[1], &end, 0) : 0;
    if (argc != 2 || !*argv[1] || *end) {
        fprintf(stderr, "usage: quorin-wm-close WINDOW\n");
        return 2;
    }
    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "quorin-wm-close: cannot connect to the X display\n");
        return 2;
    }
    xcb_client_message_event_t event;
    memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = (xcb_window_t)window;
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // Checked, with a round trip, so that the message has reached the server before we go.
    xcb_generic_error_t *error = xcb_request_check(
        c, xcb_send_event_checked(c, 0, (xcb_window_t)window, XCB_EVENT_MASK_NO_EVENT,
                                  (const char *)&event));
    xcb_disconnect(c);
    if (error) {
        fprintf(stderr, "quorin-wm-close: no window %lu\n", window);
        free(error);
        return 1;
    }
    return 0;
}
