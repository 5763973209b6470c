/* Timing helper for display_bench.sh, built by the script itself (not part
 * of the CMake build): exact instants where a shell and xdotool would add
 * tens of milliseconds of their own.
 *
 *   xbench_tool click PID TIMEOUT_MS
 *     presses and releases button 1 through XTEST and prints the
 *     milliseconds until PID has ended (a zombie counts as ended), or
 *     "timeout".
 *   xbench_tool start TIMEOUT_MS NAME PROGRAM [ARGS...]
 *     starts PROGRAM and prints two figures in milliseconds: until a
 *     viewable top-level window called NAME exists (the first, black frame
 *     is on screen), and until a strip at the left edge of the screen shows
 *     some blue (the backdrop); then ends the program. "-" for a figure
 *     never reached.
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double NowMs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

static void SleepUs(long us) {
  struct timespec t = {us / 1000000, (us % 1000000) * 1000};
  nanosleep(&t, NULL);
}

/* True once the process is gone or a zombie. */
static int Ended(pid_t pid) {
  char path[64], buffer[512];
  snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
  FILE* f = fopen(path, "r");
  if (f == NULL) return 1;
  size_t n = fread(buffer, 1, sizeof buffer - 1, f);
  fclose(f);
  buffer[n] = 0;
  const char* close = strrchr(buffer, ')');
  return close == NULL || close[1] == 0 || close[2] == 'Z' || close[2] == 'X';
}

static int Click(Display* d, pid_t pid, double timeout_ms) {
  const double t0 = NowMs();
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XSync(d, False);
  for (;;) {
    const double t = NowMs();
    if (Ended(pid)) {
      printf("%.1f\n", t - t0);
      return 0;
    }
    if (t - t0 > timeout_ms) {
      printf("timeout\n");
      return 1;
    }
    SleepUs(200);
  }
}

/* True when a viewable child of the root window is called `name`. */
static int WindowShown(Display* d, const char* name) {
  Window root, parent, *children = NULL;
  unsigned int count = 0;
  int found = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
    char* title = NULL;
    if (XFetchName(d, children[i], &title) && title != NULL) {
      found = strcmp(title, name) == 0;
      XFree(title);
    }
  }
  if (children != NULL) XFree(children);
  return found;
}

/* Counts pixels of a column strip at the left edge: neither black nor blue
 * ones, and blue ones. */
static int Strip(Display* d, int height, long* not_blue, long* blue) {
  XImage* image = XGetImage(d, DefaultRootWindow(d), 0, 0, 2, (unsigned)height, AllPlanes, ZPixmap);
  if (image == NULL) return 0;
  *not_blue = *blue = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < 2; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const unsigned long rg = p & (image->red_mask | image->green_mask);
      if (rg != 0)
        ++*not_blue;
      else if ((p & image->blue_mask) != 0)
        ++*blue;
    }
  }
  XDestroyImage(image);
  return 1;
}

static int Start(Display* d, double timeout_ms, const char* name, char** argv) {
  const int height = DisplayHeight(d, DefaultScreen(d));
  const double t0 = NowMs();
  const pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    execvp(argv[0], argv);
    _exit(127);
  }
  double window = -1, backdrop = -1;
  while (NowMs() - t0 < timeout_ms && !Ended(pid)) {
    if (window < 0) {
      if (WindowShown(d, name)) window = NowMs() - t0;
    } else {
      long not_blue = 0, blue = 0;
      if (Strip(d, height, &not_blue, &blue) && blue > 0) {
        backdrop = NowMs() - t0;
        break;
      }
    }
    SleepUs(1000);
  }
  kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i) SleepUs(20000);
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  if (window < 0)
    printf("- ");
  else
    printf("%.1f ", window);
  if (backdrop < 0)
    printf("-\n");
  else
    printf("%.1f\n", backdrop);
  return 0;
}

int main(int argc, char** argv) {
  Display* d = XOpenDisplay(NULL);
  if (d == NULL) {
    fprintf(stderr, "xbench_tool: cannot open the display\n");
    return 2;
  }
  int ev, er, major, minor;
  int status = 2;
  if (argc == 4 && strcmp(argv[1], "click") == 0 &&
      XTestQueryExtension(d, &ev, &er, &major, &minor)) {
    status = Click(d, (pid_t)atoi(argv[2]), atof(argv[3]));
  } else if (argc >= 5 && strcmp(argv[1], "start") == 0) {
    status = Start(d, atof(argv[2]), argv[3], argv + 4);
  } else {
    fprintf(stderr,
            "usage: xbench_tool click PID TIMEOUT_MS | start TIMEOUT_MS NAME PROGRAM [ARGS...]\n");
  }
  XCloseDisplay(d);
  return status;
}
