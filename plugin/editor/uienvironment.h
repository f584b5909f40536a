// The environment the UI program starts with: the host's, with Qt's own scaling
// switched off. The editor's window already has the size of the chosen scale and
// the UI draws its layout to fill it; Qt scaling on top of that, from
// QT_SCALE_FACTOR, the screen or Xft.dpi, would enlarge it a second time and
// cut it off. Built on the host thread that opens the editor; the host's own
// environment is left as it is.
#pragma once

#include <string>
#include <vector>

class UiEnvironment {
public:
    // `host` is an environ-style list: "NAME=value" texts ending with a null.
    explicit UiEnvironment(char* const* host);

    // posix_spawn's envp, valid while this object lives.
    char* const* entries() const { return pointers.data(); }

private:
    std::vector<std::string> texts;
    std::vector<char*> pointers;
};
