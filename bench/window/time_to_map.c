/* Start-up time of a program to its first mapped window: starts it, waits
 * for the X server's first MapNotify under the root window, prints the
 * milliseconds since the start and ends the program. Without a window
 * manager (a private Xvfb) the first map is the program's own window.
 * Usage: bench_time_to_map PROGRAM [ARGS...]   (DISPLAY set) */
#define _DEFAULT_SOURCE
#include <xcb/xcb.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    /* A server just started may take a moment to accept connections. */
    xcb_connection_t *c = NULL;
    for (int tries = 0; tries < 50; ++tries) {
        c = xcb_connect(NULL, NULL);
        if (!xcb_connection_has_error(c))
            break;
        xcb_disconnect(c);
        c = NULL;
        usleep(100000);
    }
    if (!c) {
        fprintf(stderr, "no X display\n");
        return 2;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));

    const double start = now_ms();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    double mapped = -1;
    xcb_generic_event_t *event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
        const int type = event->response_type & 0x7f;
        free(event);
        if (type == XCB_MAP_NOTIFY) {
            mapped = now_ms() - start;
            break;
        }
    }
    kill(child, SIGTERM);
    waitpid(child, NULL, 0);
    xcb_disconnect(c);
    if (mapped < 0)
        return 1;
    printf("%.1f\n", mapped);
    return 0;
}
