/* Starts a program and prints how long it took until a top-level window with the given
 * title (WM_NAME or _NET_WM_NAME) was mapped, then its pid; the program keeps running. A
 * window retitled after it was mapped counts from the retitling.
 *   window_wait TITLE PROGRAM [ARGS...]
 * Prints: "<milliseconds> <pid>", then stays until the program ends (so that it is reaped).
 * Needs a display without a window manager (Xvfb), where top-level windows are mapped
 * straight onto the root window. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static xcb_atom_t net_wm_name;

static void timed_out(int sig)
{
    (void)sig;
    static const char message[] = "window_wait: no such window within 30 s\n";
    if (write(2, message, sizeof message - 1) < 0) { /* nothing more to say */
    }
    _exit(3);
}

static int property_is(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, const char* title)
{
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), NULL);
    int match = 0;
    if (r) {
        int len = xcb_get_property_value_length(r);
        match = len == (int)strlen(title) && memcmp(xcb_get_property_value(r), title, (size_t)len) == 0;
        free(r);
    }
    return match;
}

static int has_title(xcb_connection_t* c, xcb_window_t w, const char* title)
{
    return property_is(c, w, XCB_ATOM_WM_NAME, title) || property_is(c, w, net_wm_name, title);
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s TITLE PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    for (int tries = 0; xcb_connection_has_error(c) && tries < 40; ++tries) {
        fprintf(stderr, "window_wait: display %s refused (error %d), trying again\n", getenv("DISPLAY"),
                xcb_connection_has_error(c));
        xcb_disconnect(c);
        usleep(50000);
        c = xcb_connect(NULL, NULL);
    }
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "window_wait: no display\n");
        return 1;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 12, "_NET_WM_NAME"), NULL);
    net_wm_name = atom ? atom->atom : XCB_ATOM_NONE;
    free(atom);
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    signal(SIGALRM, timed_out);
    alarm(30);
    double start = now_ms();
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    uint32_t property_mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_generic_event_t* e;
    while ((e = xcb_wait_for_event(c))) {
        xcb_window_t w = XCB_WINDOW_NONE;
        if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            w = ((xcb_map_notify_event_t*)e)->window;
            /* Watch its title from now on, in case it changes after mapping. */
            xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &property_mask);
            xcb_flush(c);
        } else if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            xcb_property_notify_event_t* p = (xcb_property_notify_event_t*)e;
            if (p->atom == XCB_ATOM_WM_NAME || p->atom == net_wm_name)
                w = p->window;
        }
        if (w != XCB_WINDOW_NONE) {
            if (has_title(c, w, argv[1])) {
                alarm(0);
                printf("%.1f %d\n", now_ms() - start, (int)pid);
                fflush(stdout);
                free(e);
                xcb_disconnect(c);
                int status = 0;
                waitpid(pid, &status, 0);
                return 0;
            }
        }
        free(e);
    }
    fprintf(stderr, "window_wait: display connection lost (error %d)\n", xcb_connection_has_error(c));
    return 1;
}
