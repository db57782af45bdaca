// Panning the time axis by dragging: the axis moves with the pointer once
// it has left the press point by more than the drag distance, so a click
// alone moves nothing. Free of widgets: positions in pixels, times in ms.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>

class TDragPan {
public:
    // The left button went down at x over the plot, the axis ending at end.
    void press(double x, int64_t end)
    {
        startX = x;
        startEnd = end;
        pressed = true;
        moved = false;
    }
    // The pointer at x with the button held: the axis' end to show, or none.
    std::optional<int64_t> move(double x, double msPerPixel, int dragDistance)
    {
        if (!pressed)
            return std::nullopt;
        moved = moved || std::abs(x - startX) >= dragDistance;
        if (!moved)
            return std::nullopt;
        // Dragged right: the times under the pointer move right, earlier ones come into view.
        return startEnd - int64_t((x - startX) * msPerPixel);
    }
    void release() { pressed = false; }
    bool active() const { return pressed; }

private:
    double startX = 0;
    int64_t startEnd = 0;
    bool pressed = false;
    bool moved = false;
};
