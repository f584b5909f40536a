// Placing the UI inside the host's editor window.
//
// The container is a parentless native widget whose X11 window becomes a child of the host's
// window; Qt's xcb platform then acts as the embedded client. Each embedding makes a new
// container; the one it replaces is deleted as soon as the main widget has left it.
// GUI thread only.
#pragma once

class QWidget;

// Creates a 260 x 517 container embedded into the host window windowId and makes it the
// current one. It is not shown and holds nothing yet. With windowId 0, or on a platform that
// cannot wrap foreign windows, the container stays an ordinary top-level window.
QWidget* embedIntoWindow(unsigned long windowId);

// The current container; null before the first embedding.
QWidget* embedContainer();

// Re-parents widget (when there is one) into the current container at its origin, shows the
// container, and deletes the containers that the current one replaced.
void moveIntoEmbedContainer(QWidget* widget);

// Deletes every container, with whatever it still holds. For the end of the process, while the
// application object still exists.
void releaseEmbedContainers();
