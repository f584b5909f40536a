// What --help prints.
#pragma once

namespace pl3render {

const char* helpText();

} // namespace pl3render
