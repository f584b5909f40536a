// The style sheets of the editor's widgets, by the role the main widget gives them. The look:
// a dark grey window, loop and scope panels with grey gradients and black borders, white
// captions, and controls that show no background or border of their own.
#pragma once

namespace stylesheets {

inline constexpr const char* mainBackground =
    "background-color: qlineargradient(spread:reflect, x1:0.513, y1:0.488318, x2:0.512, y2:1, "
    "stop:0.105528 rgba(40, 40, 40, 255), stop:0.321608 rgba(46, 46, 46, 255), "
    "stop:0.894472 rgba(88, 88, 88, 255));\n"
    "border-radius: 2px;";

// Loops 1 and 4; loops 2 and 3 have the same rules with the last two on one line.
inline constexpr const char* loopBoxOuter =
    "background-color: qlineargradient(spread:reflect, x1:0.503025, y1:0.335, x2:0.487, "
    "y2:0.806, stop:0.115578 rgba(58, 58, 58, 255), stop:0.80402 rgba(82, 82, 82, 255));\n"
    "border: 2px solid black;\n"
    "border-radius: 5px;\n"
    "border-top: 4px solid black;\n"
    "border-bottom: 1px solid black;";

inline constexpr const char* loopBoxInner =
    "background-color: qlineargradient(spread:reflect, x1:0.503025, y1:0.335, x2:0.487, "
    "y2:0.806, stop:0.115578 rgba(58, 58, 58, 255), stop:0.80402 rgba(82, 82, 82, 255));\n"
    "border: 2px solid black;\n"
    "border-radius: 5px;\n"
    "border-top: 4px solid black; border-bottom: 1px solid black;";

inline constexpr const char* scopeBox =
    "background-color: qlineargradient(spread:reflect, x1:0.513, y1:0.488318, x2:0.512, y2:1, "
    "stop:0.58794 rgba(26, 26, 26, 255), stop:0.708543 rgba(46, 46, 46, 255), "
    "stop:0.894472 rgba(88, 88, 88, 255));\n"
    "border: 2px solid black;\n"
    "border-radius: 5px;\n"
    "border-top: 4px solid black;\n"
    "border-bottom: 4px solid black;";

inline constexpr const char* caption = "color: rgb(255, 255, 255);\n"
                                       "background-color: rgb(47, 47, 47);\n"
                                       "color: rgb(255, 255, 255);\n"
                                       "border-radius:3px;\n"
                                       "border: 1px solid gray;";

inline constexpr const char* bottomCaption = "color: rgb(255, 255, 255);\n"
                                             "background-color: rgb(47, 47, 47);\n"
                                             "color: rgb(255, 255, 255);\n"
                                             "border-radius:3px;\n"
                                             "border: transparent;";

// Loop 2's copy ends with one more line break.
inline constexpr const char* bottomCaptionLoop2 = "color: rgb(255, 255, 255);\n"
                                                  "background-color: rgb(47, 47, 47);\n"
                                                  "color: rgb(255, 255, 255);\n"
                                                  "border-radius:3px;\n"
                                                  "border: transparent;\n";

inline constexpr const char* knob = "background:transparent;\nborder-color:transparent;";

inline constexpr const char* button = "border:transparent; background:transparent;";

inline constexpr const char* scope = "border:transparent;\nbackground:transparent;";

inline constexpr const char* valueDisplay =
    "color: rgb(255, 255, 255);\nbackground:transparent;\nborder: transparent;";

inline constexpr const char* menu =
    "QMenu {\n"
    "color: rgb(255, 255, 255);\n"
    "background-color: qlineargradient(spread:reflect, x1:0.503025, y1:0.335, x2:0.487, "
    "y2:0.806, stop:0.115578 rgba(58, 58, 58, 192), stop:0.80402 rgba(82, 82, 82, 192));\n"
    "border: 1px solid black;\n"
    "border-radius: 5px;\n"
    "}\n"
    "QMenu::item:selected {\n"
    "background-color: rgba(0, 143, 214, 254);\n"
    "}";

} // namespace stylesheets
