// quorin-layout: where the controls of a reader's window sit, in pixels, from the same layout
// tables the programs use, for the tests that click them with xdotool.
//
//   quorin-layout standard|didactic [DPI]    default 96 dpi
//
// prints "Form1 WIDTH HEIGHT", the client area, then one line "NAME X Y" per control, X and Y
// its centre inside the client area.

#include "formlayout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc < 2 || argc > 3
        || (std::strcmp(argv[1], "standard") != 0 && std::strcmp(argv[1], "didactic") != 0)) {
        std::fprintf(stderr, "usage: quorin-layout standard|didactic [DPI]\n");
        return 2;
    }
    const Quorin::FormLayout &layout = std::strcmp(argv[1], "standard") == 0
        ? Quorin::standardLayout()
        : Quorin::didacticLayout();
    const qreal dpi = argc == 3 ? std::atof(argv[2]) : 96.0;
    if (dpi <= 0) {
        std::fprintf(stderr, "quorin-layout: DPI is a positive number\n");
        return 2;
    }

    std::printf("Form1 %d %d\n", Quorin::twipsToPixels(layout.width, dpi),
                Quorin::twipsToPixels(layout.height, dpi));
    for (const Quorin::Placement &control : layout.controls) {
        const QPoint centre = control.pixelRect(dpi).center();
        std::printf("%s %d %d\n", control.name, centre.x(), centre.y());
    }
    return 0;
}
