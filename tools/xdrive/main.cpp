// quorin-xdrive: lists, clicks and closes the top-level windows of an X display, as a user
// would, for the tests and scripts that run the real programs under Xvfb.
//
//   quorin-xdrive list                 one line per shown window: id width height title
//   quorin-xdrive click ID X Y [N]     N left clicks (default 1) at X,Y inside the window
//   quorin-xdrive select-all           Ctrl+A, to the text box that has the keyboard
//   quorin-xdrive selection            the text selected (the PRIMARY selection)
//   quorin-xdrive close ID             asks the window to close, as a window manager does

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int SelectionTries = 600;
constexpr useconds_t SelectionPollMicroseconds = 50'000;

struct Free
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T>
using Reply = std::unique_ptr<T, Free>;

[[noreturn]] void die(const char *message)
{
    std::fprintf(stderr, "quorin-xdrive: %s\n", message);
    std::exit(2);
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::string title(xcb_connection_t *c, xcb_window_t window)
{
    for (const xcb_atom_t property : {atom(c, "_NET_WM_NAME"), xcb_atom_t(XCB_ATOM_WM_NAME)}) {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr));
        if (reply && xcb_get_property_value_length(reply.get()) > 0)
            return {static_cast<const char *>(xcb_get_property_value(reply.get())),
                    static_cast<size_t>(xcb_get_property_value_length(reply.get()))};
    }
    return {};
}

void list(xcb_connection_t *c, xcb_window_t root)
{
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        die("cannot list the windows");
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr));
        const Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr));
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE
            || attributes->override_redirect)
            continue;
        std::printf("%u %u %u %s\n", children[i], geometry->width, geometry->height,
                    title(c, children[i]).c_str());
    }
}

void click(xcb_connection_t *c, xcb_window_t root, xcb_window_t window, int x, int y, int count)
{
    const Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
        c,
        xcb_translate_coordinates(c, window, root, static_cast<int16_t>(x),
                                  static_cast<int16_t>(y)),
        nullptr));
    if (!at)
        die("no such window");
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, at->dst_x, at->dst_y, 0);
    for (int i = 0; i < count; ++i) {
        xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
}

xcb_keycode_t keycodeOf(xcb_connection_t *c, xcb_keysym_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<uint8_t>(count)), nullptr));
    if (!mapping)
        die("cannot read the keyboard mapping");
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    for (int i = 0; i < count * mapping->keysyms_per_keycode; ++i) {
        if (keysyms[i] == keysym)
            return static_cast<xcb_keycode_t>(setup->min_keycode
                                              + i / mapping->keysyms_per_keycode);
    }
    die("the keyboard has no key for a needed symbol");
}

// Selects all of the text box that has the keyboard, as a keyboard user does: Ctrl+A. Unlike a
// triple click, which a busy program may see as a double click and a single one, a key press is
// never split by timing.
void selectAll(xcb_connection_t *c)
{
    constexpr xcb_keysym_t ControlL = 0xffe3;
    constexpr xcb_keysym_t LetterA = 0x61;
    // No selection until the program makes its own, so that `selection` waits for that one.
    xcb_set_selection_owner(c, XCB_NONE, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
    const xcb_keycode_t control = keycodeOf(c, ControlL);
    const xcb_keycode_t a = keycodeOf(c, LetterA);
    xcb_test_fake_input(c, XCB_KEY_PRESS, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_PRESS, a, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, a, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c, XCB_KEY_RELEASE, control, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

void printSelection(xcb_connection_t *c, xcb_window_t root)
{
    // A busy program may take a while to answer the keys; only a hang ends the wait.
    for (int tries = 0;; ++tries) {
        const Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            c, xcb_get_selection_owner(c, XCB_ATOM_PRIMARY), nullptr));
        if (owner && owner->owner != XCB_NONE)
            break;
        if (tries == SelectionTries)
            die("nothing is selected");
        usleep(SelectionPollMicroseconds);
    }
    const xcb_window_t requestor = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, requestor, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t target = atom(c, "UTF8_STRING");
    const xcb_atom_t property = atom(c, "QUORIN_XDRIVE_SELECTION");
    xcb_convert_selection(c, requestor, XCB_ATOM_PRIMARY, target, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    for (;;) {
        const Reply<xcb_generic_event_t> event(xcb_wait_for_event(c));
        if (!event)
            die("the X display went away");
        if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
            continue;
        if (reinterpret_cast<xcb_selection_notify_event_t *>(event.get())->property == XCB_NONE)
            die("nothing is selected");
        break;
    }
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 1, requestor, property, target, 0, 1 << 20), nullptr));
    if (!reply)
        die("cannot read the selection");
    std::fwrite(xcb_get_property_value(reply.get()), 1,
                static_cast<size_t>(xcb_get_property_value_length(reply.get())), stdout);
}

void close(xcb_connection_t *c, xcb_window_t window)
{
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
}

xcb_window_t windowArgument(const char *text)
{
    char *end = nullptr;
    const unsigned long id = std::strtoul(text, &end, 0);
    if (!*text || *end)
        die("a window is a number, as `list` prints it");
    return static_cast<xcb_window_t>(id);
}

int number(const char *text)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!*text || *end)
        die("a coordinate or count is a number");
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        die("cannot connect to the X display (is DISPLAY set?)");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;

    if (args.size() == 1 && args[0] == "list")
        list(c, root);
    else if ((args.size() == 4 || args.size() == 5) && args[0] == "click")
        click(c, root, windowArgument(argv[2]), number(argv[3]), number(argv[4]),
              args.size() == 5 ? number(argv[5]) : 1);
    else if (args.size() == 1 && args[0] == "select-all")
        selectAll(c);
    else if (args.size() == 1 && args[0] == "selection")
        printSelection(c, root);
    else if (args.size() == 2 && args[0] == "close")
        close(c, windowArgument(argv[2]));
    else
        die("usage: quorin-xdrive list | click ID X Y [N] | select-all | close ID | "
            "selection");

    // A round trip, so that everything sent has reached the server before we go.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return 0;
}
