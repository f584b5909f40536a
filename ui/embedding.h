// Placing the UI inside the host's editor window.
//
// The container is a parentless native view whose X11 window becomes a child of the host's
// window; Qt's xcb platform then acts as the embedded client. It is as large as the host's
// window, follows it when the host resizes it, and draws the main widget scaled to fill it.
// Each embedding makes a new container; the one it replaces is deleted as soon as the main
// widget has left it. GUI thread only.
#pragma once

class MainWidget;
class QWidget;

// Creates a container embedded into the host window windowId, at that window's size, and
// makes it the current one. It is not shown and holds nothing yet. With windowId 0, or on a
// platform that cannot wrap foreign windows, the container stays an ordinary top-level window
// of the editor's own size, 260 x 517.
QWidget* embedIntoWindow(unsigned long windowId);

// The current container; null before the first embedding.
QWidget* embedContainer();

// What the current container shows; null when it shows nothing or there is none.
QWidget* embeddedWidget();

// Moves widget (when there is one) into the current container, which draws it at the scale
// that fills it and tells it that scale; shows the container, and deletes the containers that
// the current one replaced.
void moveIntoEmbedContainer(MainWidget* widget);

// Deletes every container, with whatever it still holds. For the end of the process, while the
// application object still exists.
void releaseEmbedContainers();
