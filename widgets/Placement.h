#pragma once

class QWidget;

// Puts a top-level window into the bottom-right corner of its screen, 5 pixels from the right edge,
// standing on the panel at the bottom: left = screen width - window width - 5, top = screen height -
// window height - the height the screen loses at the bottom to panels. The screen is the one the window
// is on (the primary screen for a window not shown yet).
void PlaceAboveTaskbar(QWidget *window);
